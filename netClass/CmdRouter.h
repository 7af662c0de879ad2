#pragma once

#include "processClass/WhileThread.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class BsdSocket;
class CmdInbox;

// The one receiver of a command-channel socket. Every receive happens on its thread and each
// message goes to exactly one inbox: scan notices to the scan-notice reader, anything else to
// the exchange waiting for an answer, else to the version reader, else nowhere. An answer that
// nobody waits for is dropped here, so it can never satisfy a later exchange.
class CmdRouter : public WhileThread
{
public:
    enum class Role { Exchange, Version, Notice };
    static constexpr int roleCount = 3;
    static constexpr int receiveBytes = 4096;

    // The socket stays owned by the caller, who calls leaving() and shuts it down before
    // stop() to wake the receive, and closes it only after stop() has returned. onPeerEnded
    // runs on the router's thread, once, when the connection ends without leaving(): the
    // peer closed or reset it, or it was given up as silent.
    explicit CmdRouter(BsdSocket *socket, std::function<void()> onPeerEnded = {});
    ~CmdRouter() override;

    // Routers by socket handle, for the readers that are handed only the handle.
    static void publish(int handle, const std::shared_ptr<CmdRouter> &router);
    static void withdraw(int handle);
    static std::shared_ptr<CmdRouter> find(int handle);

    // Resets the inbox and routes the role's messages to it from now on.
    void attach(Role role, const std::shared_ptr<CmdInbox> &inbox);
    void detach(Role role, const std::shared_ptr<CmdInbox> &inbox);
    // The end that follows is this side's own close, not the peer's.
    void leaving() { m_leaving = true; }

protected:
    void run() override;

private:
    void route(const QByteArray &message);

    BsdSocket *m_socket;
    std::function<void()> m_onPeerEnded;
    std::atomic<bool> m_leaving{false};
    std::mutex m_mutex;
    std::shared_ptr<CmdInbox> m_inboxes[roleCount];
    bool m_closed = false;
};
