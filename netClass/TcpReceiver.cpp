#include "TcpReceiver.h"

#include "CmdFrames.h"
#include "CmdInbox.h"
#include "CmdRouter.h"

#include <QDebug>

#include <chrono>
#include <cstring>
#include <thread>

namespace {
constexpr int waitMs = 100;
}

TcpReceiver::TcpReceiver(QObject *parent) : QObject(parent), m_inbox(std::make_shared<CmdInbox>())
{
}

TcpReceiver::~TcpReceiver()
{
    stop();
}

void TcpReceiver::setSocket(TYPE_SOCKET inSocket)
{
    m_socket = inSocket;
}

void TcpReceiver::disconnectDevice() {}

void TcpReceiver::start()
{
    stop();
    m_inbox->reset();
    m_router = CmdRouter::find(m_socket.load());
    if (m_router)
        m_router->attach(CmdRouter::Role::Version, m_inbox);
    WhileThread::start();
}

void TcpReceiver::stop()
{
    WhileThread::stop();
    if (m_router) {
        m_router->detach(CmdRouter::Role::Version, m_inbox);
        m_router.reset();
    }
}

void TcpReceiver::run()
{
    while (isRunning()) {
        QByteArray message;
        const CmdInbox::Take got = m_inbox->take(&message, waitMs);
        if (got == CmdInbox::Take::Closed) {
            // The connection is gone; wait for the stop instead of spinning.
            std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
            continue;
        }
        if (got != CmdInbox::Take::Message)
            continue;
        message.truncate(receiveBytes);
        if (CmdFrames::isStatusMessage(message)) {
            std::memcpy(m_status.data(), message.constData(), 5);
            emit sigTcpRec(m_status.data());
        } else if (message.size() > 2) {
            qDebug() << "接收到的其他信息" << message;
            if (CmdFrames::isVersionReply(message))
                emit sigVersionInfo(CmdFrames::versionTextOf(message));
        }
    }
}
