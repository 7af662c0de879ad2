#pragma once

#include "LinkHealth.h"

#include <QString>
#include <QtGlobal>

#include <cstddef>

// A thin, move-only owner of one IPv4 BSD socket, with the handful of calls the data path
// and the command channel need. Everything that can block takes or uses a time-out; every
// send passes MSG_NOSIGNAL so a peer that goes away cannot raise SIGPIPE.

struct Ipv4Endpoint
{
    quint32 address = 0; // host byte order
    quint16 port = 0;

    QString addressText() const;
    // Dotted-quad text to an address; false for anything else (names are not resolved).
    static bool parseAddress(const QString &text, quint32 *address);
};

class BsdSocket
{
public:
    enum class Status {
        Ok,
        Timeout,   // the receive or connect time-out expired (EAGAIN/EWOULDBLOCK)
        Truncated, // a datagram was longer than the buffer; it has been dropped
        Closed,    // the peer closed the stream (recv returned 0)
        Error,
    };

    struct Result
    {
        Status status = Status::Error;
        qint64 bytes = 0; // bytes moved; for Truncated, the datagram's real length
        int error = 0;    // errno of a failure
        bool ok() const { return status == Status::Ok; }
    };

    BsdSocket() = default;
    ~BsdSocket();
    BsdSocket(BsdSocket &&other) noexcept;
    BsdSocket &operator=(BsdSocket &&other) noexcept;
    BsdSocket(const BsdSocket &) = delete;
    BsdSocket &operator=(const BsdSocket &) = delete;

    static BsdSocket udp();
    static BsdSocket tcp();

    bool isValid() const { return m_fd >= 0; }
    int handle() const { return m_fd; }

    // Wakes a thread blocked in a receive on this socket; safe from another thread.
    void shutdown();
    // shutdown() then close(). Call it only when no other thread uses the socket any more.
    void close();
    // Closes a stream at once with a reset (RST) instead of the orderly end, as a device
    // that restarts does.
    void closeWithReset();
    // Ends a stream as the kernel ends one it has given up on: a thread blocked in a receive
    // wakes as for shutdown(), and close() then drops whatever is unsent or unacknowledged and
    // resets the connection, instead of trying on to deliver it. Safe from another thread.
    void abandon();

    bool setReceiveTimeout(int milliseconds);
    int receiveTimeout() const; // milliseconds, -1 on failure
    // Bounds a send that waits for room in the send buffer (a stream peer that stops reading).
    bool setSendTimeout(int milliseconds);
    // Asks for a receive buffer of the given size; returns the size the kernel granted, in
    // the same unit (Linux reports double the usable size; this is halved back), -1 on failure.
    int setReceiveBuffer(int bytes);
    // A stream whose peer goes silent without closing (power cut, cable pulled) fails its
    // receive with an error instead of waiting for ever: probes after idleSeconds without
    // traffic, then every intervalSeconds, and the connection is dropped after that many
    // unanswered probes (or, once setUserTimeout has been given, after that time).
    bool setKeepAlive(int idleSeconds, int intervalSeconds, int probes);
    // Sets the keepalive idle time again, which re-arms the kernel's keepalive timer: a stream
    // already quiet that long sends a probe at once rather than at the next interval. A
    // constant-time call.
    bool rearmKeepAlive(int idleSeconds);
    // Drops a stream whose sent data (or probes) stay unacknowledged this long (TCP_USER_TIMEOUT).
    bool setUserTimeout(int milliseconds);
    // Caps the time between two resends of unacknowledged data, which otherwise doubles up to
    // two minutes (TCP_RTO_MAX_MS). False where the kernel does not offer it (before 6.15).
    bool setMaxResendInterval(int milliseconds);
    // What the kernel knows of a stream's exchanges with its peer (TCP_INFO); a constant-time
    // call. False when it cannot be read (no socket, not a stream).
    bool tcpState(LinkHealth::TcpState *out) const;
    bool setBroadcast(bool on);
    bool setReuseAddress(bool on);
    bool setNonBlocking(bool on);

    // On failure, *error (when given) receives the errno, e.g. EADDRINUSE or EADDRNOTAVAIL.
    bool bind(const Ipv4Endpoint &local, int *error = nullptr);
    bool localEndpoint(Ipv4Endpoint *out) const;
    bool peerEndpoint(Ipv4Endpoint *out) const;

    Result sendTo(const void *data, std::size_t length, const Ipv4Endpoint &to);
    // Receives one datagram of at most length bytes; a longer one is dropped and reported
    // as Truncated.
    Result receiveFrom(void *buffer, std::size_t length, Ipv4Endpoint *from = nullptr);

    Result send(const void *data, std::size_t length);
    Result receive(void *buffer, std::size_t length);
    // The same, also giving when the kernel received the bytes (nanoseconds on the realtime
    // clock, 0 when unknown) once setReceiveTimestamps is on. On loopback that is the moment
    // the peer sent them, however late this thread gets to them.
    Result receive(void *buffer, std::size_t length, qint64 *arrivedNs);
    bool setReceiveTimestamps(bool on);

    // Connects with a time-out (non-blocking connect completed with poll); the socket is
    // blocking again afterwards.
    Result connectTo(const Ipv4Endpoint &peer, int timeoutMilliseconds);

    // Server side of a stream socket (the simulated sonar's command port).
    bool listen(int backlog);
    // Accepts one pending connection; an invalid socket when there is none or on an error.
    BsdSocket accept(Ipv4Endpoint *peer = nullptr);
    // Waits until a receive would not block; false on time-out or error.
    bool waitReadable(int timeoutMilliseconds) const;

    static bool isTimeoutError(int error);
    // The errors of a send or receive on a stream that mean the connection is over (reset,
    // closed, or given up after its time-outs), not merely busy.
    static bool isConnectionEndError(int error);

private:
    explicit BsdSocket(int fd) : m_fd(fd) {}
    Result fail() const;

    int m_fd = -1;
};
