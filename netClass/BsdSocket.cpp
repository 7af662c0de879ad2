#include "BsdSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

sockaddr_in toSockaddr(const Ipv4Endpoint &e)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(e.port);
    a.sin_addr.s_addr = htonl(e.address);
    return a;
}

Ipv4Endpoint fromSockaddr(const sockaddr_in &a)
{
    return Ipv4Endpoint{ntohl(a.sin_addr.s_addr), ntohs(a.sin_port)};
}

bool setTimeout(int fd, int option, int milliseconds)
{
    timeval tv{};
    tv.tv_sec = milliseconds / 1000;
    tv.tv_usec = (milliseconds % 1000) * 1000;
    return ::setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv) == 0;
}

} // namespace

QString Ipv4Endpoint::addressText() const
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg((address >> 24) & 0xff)
        .arg((address >> 16) & 0xff)
        .arg((address >> 8) & 0xff)
        .arg(address & 0xff);
}

bool Ipv4Endpoint::parseAddress(const QString &text, quint32 *address)
{
    in_addr a{};
    if (inet_pton(AF_INET, text.trimmed().toLatin1().constData(), &a) != 1)
        return false;
    *address = ntohl(a.s_addr);
    return true;
}

BsdSocket::~BsdSocket()
{
    close();
}

BsdSocket::BsdSocket(BsdSocket &&other) noexcept : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

BsdSocket &BsdSocket::operator=(BsdSocket &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

BsdSocket BsdSocket::udp()
{
    return BsdSocket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
}

BsdSocket BsdSocket::tcp()
{
    return BsdSocket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
}

void BsdSocket::shutdown()
{
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

void BsdSocket::close()
{
    if (m_fd < 0)
        return;
    ::shutdown(m_fd, SHUT_RDWR);
    ::close(m_fd);
    m_fd = -1;
}

void BsdSocket::closeWithReset()
{
    if (m_fd < 0)
        return;
    const linger abort{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::close(m_fd);
    m_fd = -1;
}

void BsdSocket::abandon()
{
    if (m_fd < 0)
        return;
    const linger abort{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::shutdown(m_fd, SHUT_RDWR);
}

bool BsdSocket::setReceiveTimestamps(bool on)
{
    const int v = on ? 1 : 0;
    return ::setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &v, sizeof v) == 0;
}

bool BsdSocket::setReceiveTimeout(int milliseconds)
{
    return setTimeout(m_fd, SO_RCVTIMEO, milliseconds);
}

bool BsdSocket::setSendTimeout(int milliseconds)
{
    return setTimeout(m_fd, SO_SNDTIMEO, milliseconds);
}

int BsdSocket::receiveTimeout() const
{
    timeval tv{};
    socklen_t len = sizeof tv;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, &len) != 0)
        return -1;
    return int(tv.tv_sec * 1000 + tv.tv_usec / 1000);
}

int BsdSocket::setReceiveBuffer(int bytes)
{
    if (::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) != 0)
        return -1;
    int granted = 0;
    socklen_t len = sizeof granted;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &granted, &len) != 0)
        return -1;
    return granted / 2; // the kernel doubles the value for its bookkeeping
}

bool BsdSocket::setKeepAlive(int idleSeconds, int intervalSeconds, int probes)
{
    const int on = 1;
    return ::setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0
           && ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds) == 0
           && ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPINTVL, &intervalSeconds,
                           sizeof intervalSeconds)
                  == 0
           && ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes) == 0;
}

bool BsdSocket::rearmKeepAlive(int idleSeconds)
{
    return ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds) == 0;
}

bool BsdSocket::setUserTimeout(int milliseconds)
{
    const unsigned int ms = unsigned(milliseconds);
    return ::setsockopt(m_fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &ms, sizeof ms) == 0;
}

bool BsdSocket::setMaxResendInterval(int milliseconds)
{
    // Newer than the C library's headers here.
#ifndef TCP_RTO_MAX_MS
    constexpr int TCP_RTO_MAX_MS = 44;
#endif
    return ::setsockopt(m_fd, IPPROTO_TCP, TCP_RTO_MAX_MS, &milliseconds, sizeof milliseconds) == 0;
}

bool BsdSocket::tcpState(LinkHealth::TcpState *out) const
{
    tcp_info info{};
    socklen_t len = sizeof info;
    if (m_fd < 0 || ::getsockopt(m_fd, IPPROTO_TCP, TCP_INFO, &info, &len) != 0)
        return false;
    out->established = info.tcpi_state == TCP_ESTABLISHED;
    out->probes = info.tcpi_probes;
    out->backoff = info.tcpi_backoff;
    out->unacked = info.tcpi_unacked;
    out->lastAckMs = info.tcpi_last_ack_recv;
    out->lastDataMs = info.tcpi_last_data_recv;
    return true;
}

bool BsdSocket::setBroadcast(bool on)
{
    const int v = on ? 1 : 0;
    return ::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &v, sizeof v) == 0;
}

bool BsdSocket::setReuseAddress(bool on)
{
    const int v = on ? 1 : 0;
    return ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &v, sizeof v) == 0;
}

bool BsdSocket::setNonBlocking(bool on)
{
    const int flags = ::fcntl(m_fd, F_GETFL, 0);
    if (flags < 0)
        return false;
    return ::fcntl(m_fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
}

bool BsdSocket::bind(const Ipv4Endpoint &local, int *error)
{
    const sockaddr_in a = toSockaddr(local);
    if (::bind(m_fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0)
        return true;
    if (error)
        *error = errno;
    return false;
}

bool BsdSocket::localEndpoint(Ipv4Endpoint *out) const
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr *>(&a), &len) != 0)
        return false;
    *out = fromSockaddr(a);
    return true;
}

bool BsdSocket::peerEndpoint(Ipv4Endpoint *out) const
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getpeername(m_fd, reinterpret_cast<sockaddr *>(&a), &len) != 0)
        return false;
    *out = fromSockaddr(a);
    return true;
}

BsdSocket::Result BsdSocket::fail() const
{
    Result r;
    r.error = errno;
    r.status = isTimeoutError(r.error) ? Status::Timeout : Status::Error;
    return r;
}

BsdSocket::Result BsdSocket::sendTo(const void *data, std::size_t length, const Ipv4Endpoint &to)
{
    const sockaddr_in a = toSockaddr(to);
    const ssize_t n = ::sendto(m_fd, data, length, MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr *>(&a), sizeof a);
    if (n < 0)
        return fail();
    return Result{Status::Ok, n, 0};
}

BsdSocket::Result BsdSocket::receiveFrom(void *buffer, std::size_t length, Ipv4Endpoint *from)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    // MSG_TRUNC makes recvfrom report the datagram's real length, so an oversized one is seen.
    const ssize_t n =
        ::recvfrom(m_fd, buffer, length, MSG_TRUNC, reinterpret_cast<sockaddr *>(&a), &len);
    if (n < 0)
        return fail();
    if (from)
        *from = fromSockaddr(a);
    if (std::size_t(n) > length)
        return Result{Status::Truncated, n, 0};
    return Result{Status::Ok, n, 0};
}

BsdSocket::Result BsdSocket::send(const void *data, std::size_t length)
{
    const char *p = static_cast<const char *>(data);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::send(m_fd, p + done, length - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Result r = fail();
            r.bytes = qint64(done);
            return r;
        }
        done += std::size_t(n);
    }
    return Result{Status::Ok, qint64(done), 0};
}

BsdSocket::Result BsdSocket::receive(void *buffer, std::size_t length)
{
    ssize_t n;
    do {
        n = ::recv(m_fd, buffer, length, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return fail();
    if (n == 0 && length > 0)
        return Result{Status::Closed, 0, 0};
    return Result{Status::Ok, n, 0};
}

BsdSocket::Result BsdSocket::receive(void *buffer, std::size_t length, qint64 *arrivedNs)
{
    iovec part{buffer, length};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t n;
    do {
        n = ::recvmsg(m_fd, &header, 0);
    } while (n < 0 && errno == EINTR);
    *arrivedNs = 0;
    if (n < 0)
        return fail();
    for (cmsghdr *c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec at{};
            std::memcpy(&at, CMSG_DATA(c), sizeof at);
            *arrivedNs = qint64(at.tv_sec) * 1000000000 + at.tv_nsec;
        }
    }
    if (n == 0 && length > 0)
        return Result{Status::Closed, 0, 0};
    return Result{Status::Ok, n, 0};
}

BsdSocket::Result BsdSocket::connectTo(const Ipv4Endpoint &peer, int timeoutMilliseconds)
{
    if (!setNonBlocking(true))
        return fail();
    const sockaddr_in a = toSockaddr(peer);
    Result r{Status::Ok, 0, 0};
    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) != 0) {
        if (errno != EINPROGRESS) {
            r = fail();
            r.status = Status::Error;
        } else {
            pollfd p{m_fd, POLLOUT, 0};
            int ready;
            do {
                ready = ::poll(&p, 1, timeoutMilliseconds);
            } while (ready < 0 && errno == EINTR);
            if (ready == 0) {
                r = Result{Status::Timeout, 0, ETIMEDOUT};
            } else if (ready < 0) {
                r = fail();
                r.status = Status::Error;
            } else {
                int soError = 0;
                socklen_t len = sizeof soError;
                ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &soError, &len);
                if (soError != 0)
                    r = Result{Status::Error, 0, soError};
            }
        }
    }
    setNonBlocking(false);
    return r;
}

bool BsdSocket::listen(int backlog)
{
    return ::listen(m_fd, backlog) == 0;
}

BsdSocket BsdSocket::accept(Ipv4Endpoint *peer)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    int fd;
    do {
        fd = ::accept4(m_fd, reinterpret_cast<sockaddr *>(&a), &len, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0 && peer)
        *peer = fromSockaddr(a);
    return BsdSocket(fd);
}

bool BsdSocket::waitReadable(int timeoutMilliseconds) const
{
    pollfd p{m_fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, timeoutMilliseconds);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

bool BsdSocket::isTimeoutError(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

bool BsdSocket::isConnectionEndError(int error)
{
    switch (error) {
    case EPIPE:
    case ECONNRESET:
    case ECONNABORTED:
    case ENOTCONN:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
        return true;
    default:
        return false;
    }
}
