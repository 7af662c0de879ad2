#include "sdkSocketThread.h"

#include "CmdDialog.h"
#include "CmdFrames.h"
#include "CmdInbox.h"
#include "CmdRouter.h"

#include <chrono>
#include <thread>

namespace {
constexpr int waitMs = 100;
constexpr int noSocketSleepMs = 20;
} // namespace

sdkSocketThread::sdkSocketThread(CmdDialog **cmdDialog, QObject *parent)
    : QObject(parent), m_cmdDialog(cmdDialog), m_inbox(std::make_shared<CmdInbox>())
{
    if (m_cmdDialog && *m_cmdDialog) {
        connect(*m_cmdDialog, &CmdDialog::sigStopOrStartTcpRecvThread, this,
                &sdkSocketThread::onStopOrStart, Qt::DirectConnection);
        // A scan does not outlive its connection: the reader has ended before the socket it
        // follows is closed or replaced.
        connect(
            *m_cmdDialog, &CmdDialog::sigClosingSocket, this, [this] { stop(); },
            Qt::DirectConnection);
    }
}

sdkSocketThread::~sdkSocketThread()
{
    stop();
}

void sdkSocketThread::start()
{
    WhileThread::stop();
    leave();
    m_paused = false;
    m_inbox->reset();
    // Listen from now on, before the thread runs, so an early notice is kept.
    if (m_cmdDialog && *m_cmdDialog)
        follow((*m_cmdDialog)->currentSocket());
    WhileThread::start();
}

void sdkSocketThread::stop()
{
    WhileThread::stop();
    leave();
    m_paused = false;
    m_resume = false;
}

void sdkSocketThread::onStopOrStart(bool inStart)
{
    if (!inStart) {
        if (m_paused)
            return;
        m_resume = isRunning();
        m_paused = true;
        WhileThread::stop(); // keeps listening: notices wait in the inbox
        return;
    }
    if (!m_paused)
        return;
    m_paused = false;
    if (m_resume)
        WhileThread::start();
    else
        leave();
    m_resume = false;
}

void sdkSocketThread::follow(TYPE_SOCKET handle)
{
    if (handle == m_followed && m_router)
        return;
    leave();
    m_router = CmdRouter::find(handle);
    if (!m_router)
        return;
    m_followed = handle;
    m_router->attach(CmdRouter::Role::Notice, m_inbox);
}

void sdkSocketThread::leave()
{
    if (m_router)
        m_router->detach(CmdRouter::Role::Notice, m_inbox);
    m_router.reset();
    m_followed = invalidSocket;
}

void sdkSocketThread::run()
{
    while (isRunning()) {
        const TYPE_SOCKET handle =
            (m_cmdDialog && *m_cmdDialog) ? (*m_cmdDialog)->currentSocket() : invalidSocket;
        if (handle == invalidSocket) {
            std::this_thread::sleep_for(std::chrono::milliseconds(noSocketSleepMs));
            continue;
        }
        if (handle != m_followed || !m_router)
            follow(handle);
        if (!m_router) {
            std::this_thread::sleep_for(std::chrono::milliseconds(noSocketSleepMs));
            continue;
        }
        QByteArray message;
        const CmdInbox::Take got = m_inbox->take(&message, waitMs);
        if (got == CmdInbox::Take::Closed) {
            // This connection is over; the next pass follows whatever socket comes next.
            leave();
            std::this_thread::sleep_for(std::chrono::milliseconds(noSocketSleepMs));
            continue;
        }
        if (got != CmdInbox::Take::Message)
            continue;
        // The whole message, as the router classified it: a notice behind other bytes of the
        // same burst counts as well.
        switch (CmdFrames::scanNoticeOf(message)) {
        case CmdFrames::ScanNotice::EndOfScan:
            emit sigEndOrStart(false);
            break;
        case CmdFrames::ScanNotice::Reseting:
            emit sigEndOrStart(true);
            break;
        case CmdFrames::ScanNotice::None:
            break;
        }
    }
}
