#include "CmdRouter.h"

#include "BsdSocket.h"
#include "CmdFrames.h"
#include "CmdInbox.h"

#include <QDebug>

#include <map>
#include <vector>

namespace {

std::mutex registryMutex;
std::map<int, std::weak_ptr<CmdRouter>> &registry()
{
    static std::map<int, std::weak_ptr<CmdRouter>> routers;
    return routers;
}

} // namespace

CmdRouter::CmdRouter(BsdSocket *socket, std::function<void()> onPeerEnded)
    : m_socket(socket), m_onPeerEnded(std::move(onPeerEnded))
{
}

CmdRouter::~CmdRouter()
{
    stop();
}

void CmdRouter::publish(int handle, const std::shared_ptr<CmdRouter> &router)
{
    std::lock_guard<std::mutex> lock(registryMutex);
    registry()[handle] = router;
}

void CmdRouter::withdraw(int handle)
{
    std::lock_guard<std::mutex> lock(registryMutex);
    registry().erase(handle);
}

std::shared_ptr<CmdRouter> CmdRouter::find(int handle)
{
    std::lock_guard<std::mutex> lock(registryMutex);
    const auto it = registry().find(handle);
    return it == registry().end() ? nullptr : it->second.lock();
}

void CmdRouter::attach(Role role, const std::shared_ptr<CmdInbox> &inbox)
{
    inbox->reset();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inboxes[int(role)] = inbox;
    if (m_closed)
        inbox->markClosed();
}

void CmdRouter::detach(Role role, const std::shared_ptr<CmdInbox> &inbox)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_inboxes[int(role)] == inbox)
        m_inboxes[int(role)].reset();
}

void CmdRouter::route(const QByteArray &message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto &exchange = m_inboxes[int(Role::Exchange)];
    const auto &version = m_inboxes[int(Role::Version)];
    const auto &notice = m_inboxes[int(Role::Notice)];
    if (CmdFrames::scanNoticeOf(message) != CmdFrames::ScanNotice::None) {
        if (notice)
            notice->push(message);
        else
            qDebug() << "scan notice outside a scan dropped:" << message;
        return;
    }
    if (exchange)
        exchange->push(message);
    else if (version)
        version->push(message);
    else if (notice)
        notice->push(message);
    else
        qDebug() << "unasked reply dropped:" << CmdFrames::hexDump(message.left(64));
}

void CmdRouter::run()
{
    std::vector<char> buffer(receiveBytes);
    while (isRunning()) {
        const BsdSocket::Result r = m_socket->receive(buffer.data(), buffer.size());
        if (r.ok()) {
            route(QByteArray(buffer.data(), qsizetype(r.bytes)));
            continue;
        }
        if (r.status == BsdSocket::Status::Timeout)
            continue;
        // Closed by the peer, reset, given up as silent, or shut down by our own close():
        // nothing more will come.
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_closed = true;
            for (const auto &inbox : m_inboxes) {
                if (inbox)
                    inbox->markClosed();
            }
        }
        if (!m_leaving && m_onPeerEnded)
            m_onPeerEnded();
        return;
    }
}
