#include "CmdInbox.h"

#include <chrono>

void CmdInbox::push(const QByteArray &message)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(message);
        while (m_queue.size() > maxQueued)
            m_queue.pop_front();
    }
    m_ready.notify_all();
}

void CmdInbox::markClosed()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
    }
    m_ready.notify_all();
}

bool CmdInbox::isClosed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_closed;
}

void CmdInbox::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.clear();
    m_closed = false;
}

CmdInbox::Take CmdInbox::take(QByteArray *message, int timeoutMilliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool woken = m_ready.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds),
                                        [this] { return !m_queue.empty() || m_closed; });
    if (!m_queue.empty()) {
        *message = m_queue.front();
        m_queue.pop_front();
        return Take::Message;
    }
    return woken ? Take::Closed : Take::Timeout;
}
