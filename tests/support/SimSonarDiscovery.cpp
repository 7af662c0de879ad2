#include "SimSonarDiscovery.h"

#include <poll.h>

#include <chrono>
#include <cstring>

namespace {

// Broadcast requests arrive without SO_BROADCAST; leaving it off means a reply can never go
// out as a broadcast, whatever address a request claims to come from.
BsdSocket discoverySocket(const Ipv4Endpoint &at)
{
    BsdSocket s = BsdSocket::udp();
    s.setReuseAddress(true);
    if (!s.bind(at))
        s.close();
    return s;
}

} // namespace

SimSonarDiscovery::SimSonarDiscovery() = default;

SimSonarDiscovery::~SimSonarDiscovery()
{
    stop();
}

QByteArray SimSonarDiscovery::buildReply(const Config &c)
{
    QByteArray record(896, '\0');
    const QByteArray name = c.name.left(15);
    std::memcpy(record.data() + 1, name.constData(), std::size_t(name.size()));
    if (c.kxMark) {
        // This mark is a zero byte and a name that begins "KX".
        record[1] = 'K';
        record[2] = 'X';
    } else {
        record[0] = char(0xA0);
    }
    record[28] = char(c.modeCount);
    record[29] = char(c.brightnessBase);
    for (int i = 0; i < 8; ++i) {
        record[30 + i] = char(c.modeEnabled[std::size_t(i)]);
        std::memcpy(record.data() + 128 + 96 * i + 56, &c.maxRange[std::size_t(i)], 4);
    }
    if (c.replyLength <= 896)
        return record.left(qMax(0, c.replyLength));
    return record + QByteArray(c.replyLength - 896, char(0x5A));
}

bool SimSonarDiscovery::start(const QString &ownAddress, quint16 port, bool loopbackOnly)
{
    stop();
    m_loopbackOnly = loopbackOnly;
    m_wildcard = discoverySocket(Ipv4Endpoint{0, port});
    if (!m_wildcard.isValid())
        return false;
    if (!ownAddress.isEmpty()) {
        Ipv4Endpoint own{0, port};
        if (!Ipv4Endpoint::parseAddress(ownAddress, &own.address))
            return false;
        m_own = discoverySocket(own);
        if (!m_own.isValid())
            return false;
    }
    m_running = true;
    m_thread = std::thread([this] { loop(); });
    return true;
}

void SimSonarDiscovery::stop()
{
    m_running = false;
    if (m_thread.joinable())
        m_thread.join();
    m_wildcard.close();
    m_own.close();
}

void SimSonarDiscovery::setConfig(const Config &config)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_config = config;
}

SimSonarDiscovery::Config SimSonarDiscovery::config() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_config;
}

void SimSonarDiscovery::loop()
{
    while (m_running) {
        pollfd fds[2] = {{m_wildcard.handle(), POLLIN, 0}, {m_own.handle(), POLLIN, 0}};
        ::poll(fds, m_own.isValid() ? 2 : 1, 20);
        BsdSocket &replyOn = m_own.isValid() ? m_own : m_wildcard;
        if (fds[0].revents & POLLIN)
            serve(m_wildcard, replyOn);
        if (m_own.isValid() && (fds[1].revents & POLLIN))
            serve(m_own, replyOn);
    }
}

void SimSonarDiscovery::serve(BsdSocket &from, BsdSocket &replyOn)
{
    char buffer[1500];
    Ipv4Endpoint requester;
    const BsdSocket::Result r = from.receiveFrom(buffer, sizeof buffer, &requester);
    if (!r.ok() || r.bytes != 12 || std::memcmp(buffer, "KXSearching\0", 12) != 0)
        return;
    if (m_loopbackOnly && (requester.address >> 24) != 127)
        return;
    ++m_requests;
    const Config c = config();
    if (c.silent)
        return;
    if (c.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(c.delayMs));
    const QByteArray reply = buildReply(c);
    replyOn.sendTo(reply.constData(), std::size_t(reply.size()), requester);
}
