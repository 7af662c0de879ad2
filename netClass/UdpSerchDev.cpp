#include "UdpSerchDev.h"

#include <QDebug>

#include <chrono>
#include <thread>

namespace {
constexpr quint32 broadcast = 0xffffffffu;

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
} // namespace

UdpSerchDev::UdpSerchDev(QObject *parent)
    : QObject(parent), m_main(makeSocket()), m_destination{broadcast, searchPort}
{
}

UdpSerchDev::~UdpSerchDev()
{
    stop();
}

BsdSocket UdpSerchDev::makeSocket()
{
    BsdSocket s = BsdSocket::udp();
    s.setReceiveBuffer(receiveBufferBytes);
    s.setReceiveTimeout(receiveTimeoutMs);
    s.setBroadcast(true);
    s.setReuseAddress(true);
    return s;
}

QByteArray UdpSerchDev::searchRequest()
{
    return QByteArray("KXSearching\0", 12);
}

bool UdpSerchDev::isReply(const char *data, qsizetype size)
{
    if (size >= 1 && quint8(data[0]) == 0xA0)
        return true;
    return size >= 3 && data[0] == 0 && data[1] == 'K' && data[2] == 'X';
}

QString UdpSerchDev::localAddressFacing(quint32 peer)
{
    BsdSocket probe = BsdSocket::udp();
    Ipv4Endpoint local;
    if (!probe.connectTo(Ipv4Endpoint{peer, searchPort}, 0).ok() || !probe.localEndpoint(&local))
        return QStringLiteral("0.0.0.0");
    return local.addressText();
}

int UdpSerchDev::socketCount()
{
    std::lock_guard<std::mutex> lock(m_listMutex);
    return int(m_sockets.size());
}

QString UdpSerchDev::destinationAddress() const
{
    std::lock_guard<std::mutex> lock(m_destinationMutex);
    return m_destination.addressText();
}

void UdpSerchDev::setHostIps(const QStringList &hostIps)
{
    std::lock_guard<std::mutex> lock(m_listMutex);
    m_sockets.clear();
    for (const QString &ip : hostIps) {
        BsdSocket s = makeSocket();
        Ipv4Endpoint local{0, 0};
        if (!Ipv4Endpoint::parseAddress(ip, &local.address) || !s.bind(local)) {
            qDebug().noquote() << "绑定失败：" + ip;
            continue;
        }
        m_sockets.push_back(std::move(s));
    }
}

void UdpSerchDev::sendSearch(bool directed, const QString &address)
{
    const QByteArray request = searchRequest();
    if (!isRunning())
        qDebug() << "接收线程已关闭，请重新开启";
    Ipv4Endpoint to{broadcast, searchPort};
    // Text that is not an address would read as 255.255.255.255: never turn it into a broadcast.
    if (directed && !Ipv4Endpoint::parseAddress(address, &to.address)) {
        qDebug().noquote() << "搜索地址无效：" + address;
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_destinationMutex);
        m_destination = to;
    }
    std::unique_lock<std::mutex> lock(m_listMutex);
    if (!m_sockets.empty()) {
        for (BsdSocket &s : m_sockets)
            s.sendTo(request.constData(), std::size_t(request.size()), to);
        return;
    }
    lock.unlock();
    const BsdSocket::Result r = m_main.sendTo(request.constData(), std::size_t(request.size()), to);
    qDebug() << "发送 KXSearching 到局域网" << (r.ok() ? r.bytes : -1);
}

bool UdpSerchDev::receiveOne(BsdSocket &socket, char *buffer)
{
    Ipv4Endpoint sender;
    const BsdSocket::Result r = socket.receiveFrom(buffer, receiveBytes, &sender);
    if (!r.ok())
        return false;
    if (!isReply(buffer, qsizetype(r.bytes)))
        return true;
    Ipv4Endpoint local;
    QString hostIp = socket.localEndpoint(&local) ? local.addressText() : QString();
    // A socket bound to no address says 0.0.0.0; the host address the rest of the program
    // needs is the one that faces the sonar.
    if (local.address == 0)
        hostIp = localAddressFacing(sender.address);
    emit sigDeviceData(QByteArray(buffer, qsizetype(r.bytes)), sender.addressText(), hostIp);
    return true;
}

void UdpSerchDev::run()
{
    std::vector<char> buffer(receiveBytes, 0);
    while (isRunning()) {
        std::unique_lock<std::mutex> lock(m_listMutex);
        if (m_sockets.empty()) {
            lock.unlock();
            if (!receiveOne(m_main, buffer.data()))
                sleepMs(1);
            continue;
        }
        for (BsdSocket &s : m_sockets) {
            if (!receiveOne(s, buffer.data()))
                sleepMs(receiveTimeoutMs);
        }
        lock.unlock();
        sleepMs(receiveTimeoutMs);
    }
    std::lock_guard<std::mutex> lock(m_listMutex);
    m_sockets.clear();
    sleepMs(10);
}
