#include "UdpReceiver.h"

#include "PackageInfo.h"
#include "PacketRing.h"

#include <QDebug>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr int firstDataPort = 5008;
constexpr int lastPort = 65535;
constexpr int wantedReceiveBuffer = 10485760;
constexpr int receiveTimeoutMs = 50;

} // namespace

UdpReceiver::UdpReceiver(PacketRing **ring, const QString &bindAddress, QObject *parent)
    : QObject(parent), m_packetLength(packetSize), m_ring(ring), m_bindAddress(bindAddress)
{
}

UdpReceiver::~UdpReceiver()
{
    stop();
}

bool UdpReceiver::openSocket(int *error)
{
    *error = 0;
    m_socket = BsdSocket::udp();
    if (!m_socket.isValid()) {
        *error = errno;
        qWarning() << "无法创建接收声纳数据的 UDP 套接字:" << std::strerror(errno);
        return false;
    }

    const int granted = m_socket.setReceiveBuffer(wantedReceiveBuffer);
    qDebug() << "UDP 接收缓冲区:" << granted << "字节";
    if (granted < wantedReceiveBuffer)
        qWarning() << "UDP 接收缓冲区只有" << granted << "字节, 小于" << wantedReceiveBuffer
                   << "字节; 可调大 sysctl net.core.rmem_max";
    m_socket.setReceiveTimeout(receiveTimeoutMs);

    if (!Ipv4Endpoint::parseAddress(m_bindAddress, &m_local.address)) {
        qWarning() << "接收声纳数据的地址无效:" << m_bindAddress;
        *error = EINVAL;
        return false;
    }

    // Ports are searched upwards from 5008. A port held by another socket is skipped; any
    // other failure (the address is not local, no permission, ...) would fail on every port,
    // so the search ends there instead of running on.
    for (int port = firstDataPort; port <= lastPort; ++port) {
        if (!isRunning())
            return false;
        m_local.port = quint16(port);
        if (m_socket.bind(m_local, error)) {
            *error = 0;
            m_socket.localEndpoint(&m_local);
            qDebug() << "接收声纳udp 数据的端口：" << m_local.port
                     << "ip:" << m_local.addressText().toLatin1().constData();
            emit sig_rSonarDataPort(QString::number(m_local.port));
            return true;
        }
        if (*error != EADDRINUSE) {
            qWarning() << "无法绑定接收声纳数据的端口, ip:" << m_bindAddress << "端口:" << port
                       << std::strerror(*error);
            return false;
        }
    }
    *error = 0;
    qWarning() << "没有空闲的接收声纳数据的端口 (" << firstDataPort << "到" << lastPort
               << "), ip:" << m_bindAddress;
    return false;
}

void UdpReceiver::run()
{
    int error = 0;
    const bool bound = openSocket(&error);
    if (!bound && isRunning())
        emit sigBindFailed(m_bindAddress, error);
    if (bound) {
        std::vector<unsigned char> buffer(m_packetLength);
        while (isRunning()) {
            std::fill(buffer.begin(), buffer.end(), 0);
            // Any sender is accepted: its address is not asked for.
            const BsdSocket::Result r = m_socket.receiveFrom(buffer.data(), buffer.size(), nullptr);
            // Time-outs, oversized datagrams and other errors push nothing.
            if (!r.ok())
                continue;
            if (PacketRing *ring = *m_ring)
                ring->push(buffer.data(), m_packetLength);
        }
    }
    m_socket.close();
}

// Keeps this class's meta-object code in this object file, so linking the receiver does not
// pull in every other class's moc output.
#include "moc_UdpReceiver.cpp"
