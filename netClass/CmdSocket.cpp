#include "CmdSocket.h"

#include "CmdFrames.h"
#include "CmdInbox.h"
#include "CmdRouter.h"

#include <QDebug>

CmdSocket::CmdSocket(const QByteArray &deviceAddress, quint16 devicePort)
    : m_deviceAddress(deviceAddress), m_devicePort(devicePort),
      m_inbox(std::make_shared<CmdInbox>())
{
}

CmdSocket::~CmdSocket()
{
    close();
}

TYPE_SOCKET CmdSocket::handle() const
{
    return m_socket.isValid() ? m_socket.handle() : invalidSocket;
}

bool CmdSocket::linkState(LinkHealth::TcpState *out) const
{
    return m_socket.tcpState(out);
}

void CmdSocket::probeNow()
{
    if (!m_socket.isValid() || m_socket.rearmKeepAlive(keepAliveIdleS) || m_probeRefused)
        return;
    m_probeRefused = true;
    qDebug() << "保活探测无法提前发送";
}

void CmdSocket::giveUp()
{
    m_socket.abandon();
}

int CmdSocket::connectFrom(const QString &hostAddress)
{
    return open(&hostAddress);
}

int CmdSocket::connect()
{
    return open(nullptr);
}

int CmdSocket::open(const QString *hostAddress)
{
    close();
    Ipv4Endpoint peer{0, m_devicePort};
    if (!Ipv4Endpoint::parseAddress(QString::fromLatin1(m_deviceAddress), &peer.address))
        return ConnectFailed;
    BsdSocket socket = BsdSocket::tcp();
    if (!socket.isValid())
        return ConnectFailed;
    if (hostAddress) {
        Ipv4Endpoint local{0, 0};
        if (!Ipv4Endpoint::parseAddress(*hostAddress, &local.address) || !socket.bind(local))
            return ConnectFailed;
    }
    if (!socket.connectTo(peer, connectTimeoutMs).ok())
        return ConnectFailed;
    Ipv4Endpoint connected;
    if (!socket.peerEndpoint(&connected))
        return ConnectFailed;
    socket.setReceiveTimeout(replyTimeoutMs);
    socket.setSendTimeout(sendTimeoutMs);
    socket.setKeepAlive(keepAliveIdleS, keepAliveIntervalS, keepAliveProbes);
    socket.setUserTimeout(giveUpMs);
    // A frame sent as the link went down is resent at least this often, so that it gets
    // through soon after the link is back instead of at the next doubled resend, which after
    // a long outage could come only once GiveUpMs has passed since the frame was sent.
    if (!socket.setMaxResendInterval(maxResendIntervalMs))
        qDebug() << "重发间隔上限设置失败（内核不支持）";
    m_socket = std::move(socket);
    m_probeRefused = false;
    m_router = std::make_shared<CmdRouter>(&m_socket, m_onLost);
    CmdRouter::publish(m_socket.handle(), m_router);
    m_router->start();
    return Ok;
}

void CmdSocket::close()
{
    if (!m_socket.isValid())
        return;
    CmdRouter::withdraw(m_socket.handle());
    if (m_router)
        m_router->leaving();
    m_socket.shutdown();
    if (m_router) {
        m_router->stop();
        m_router.reset();
    }
    m_socket.close();
}

qint64 CmdSocket::sendFrame(const QByteArray &frame)
{
    if (!m_socket.isValid())
        return -1;
    const BsdSocket::Result r = m_socket.send(frame.constData(), std::size_t(frame.size()));
    if (r.ok())
        return r.bytes;
    if (BsdSocket::isConnectionEndError(r.error) && m_onLost)
        m_onLost();
    return -1;
}

CmdSocket::Reply CmdSocket::exchange(const QByteArray &frame, QByteArray *reply, int timeoutMs)
{
    if (!m_socket.isValid() || !m_router)
        return Reply::NoSocket;
    m_router->attach(CmdRouter::Role::Exchange, m_inbox);
    Reply result;
    if (sendFrame(frame) < 1) {
        result = Reply::SendFailed;
    } else {
        switch (m_inbox->take(reply, timeoutMs)) {
        case CmdInbox::Take::Message:
            result = Reply::Message;
            break;
        case CmdInbox::Take::Timeout:
            result = Reply::Timeout;
            break;
        case CmdInbox::Take::Closed:
        default:
            result = Reply::Closed;
            break;
        }
    }
    m_router->detach(CmdRouter::Role::Exchange, m_inbox);
    return result;
}

bool CmdSocket::routeAnswersTo(const std::shared_ptr<CmdInbox> &inbox)
{
    if (!m_socket.isValid() || !m_router)
        return false;
    m_router->attach(CmdRouter::Role::Exchange, inbox);
    return true;
}

void CmdSocket::endAnswers(const std::shared_ptr<CmdInbox> &inbox)
{
    if (m_router)
        m_router->detach(CmdRouter::Role::Exchange, inbox);
}

int CmdSocket::sendExpectOk(const char *frame, int length)
{
    QByteArray reply;
    switch (exchange(QByteArray(frame, length), &reply)) {
    case Reply::Message:
        return CmdFrames::isAcknowledgement(reply.left(replyBytes)) ? Ok : NotAcknowledged;
    case Reply::SendFailed:
    case Reply::NoSocket:
        return SendFailed;
    case Reply::Timeout:
    case Reply::Closed:
    default:
        return NoReply;
    }
}

int CmdSocket::sendShortCmd(quint32 code, quint8 value)
{
    if (!m_socket.isValid())
        return NoSocket;
    if (!CmdFrames::isShortCommandCode(code))
        return NotShortCommand;
    const QByteArray frame = CmdFrames::shortCommand(quint8(code), value);
    return sendExpectOk(frame.constData(), int(frame.size()));
}
