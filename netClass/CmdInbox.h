#pragma once

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <mutex>

// Messages of the command channel routed to one receiver (an exchange waiting for its answer,
// the version reader or the scan-notice reader). Filled by the channel's router thread,
// emptied by the receiver on its own thread.
class CmdInbox
{
public:
    enum class Take { Message, Timeout, Closed };
    // A device that floods the channel while nobody takes cannot grow the queue past this;
    // the oldest messages go first.
    static constexpr std::size_t maxQueued = 256;

    void push(const QByteArray &message);
    // The connection has gone: waiting and later takes return Closed once the queue is empty.
    void markClosed();
    // Forgets everything queued, so nothing received before can answer what comes next.
    void reset();
    Take take(QByteArray *message, int timeoutMilliseconds);
    // True once the connection has gone, whatever is still queued.
    bool isClosed() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<QByteArray> m_queue;
    bool m_closed = false;
};
