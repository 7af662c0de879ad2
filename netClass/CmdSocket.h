#pragma once

#include "BsdSocket.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class CmdInbox;
class CmdRouter;

// The handle type that travels between the channel and its readers; -1 means no socket.
typedef int TYPE_SOCKET;
constexpr TYPE_SOCKET invalidSocket = -1;

// Client of the command channel's TCP connection. Once connected, all receives on the socket
// are made by the connection's router (CmdRouter); exchanges here wait on their own inbox for
// the first message that arrives after they were sent.
class CmdSocket
{
public:
    enum Code {
        Ok = 0,
        ConnectFailed = 1,
        NoSocket = 2,
        NotShortCommand = 3,
        SendFailed = 4,
        NotAcknowledged = 5,
        NoReply = 6,
    };
    static constexpr int connectTimeoutMs = 1000;
    static constexpr int replyTimeoutMs = 500;
    // A sonar that stops reading must not hold a send (and the GUI thread) for ever.
    static constexpr int sendTimeoutMs = 500;
    static constexpr int replyBytes = 256;
    // The connection is probed after KeepAliveIdleS quiet seconds, then every
    // KeepAliveIntervalS, and more often while the link watch asks for it (probeNow). A sonar
    // that answers nothing while it owes an answer (power cut, cable pulled, a link down)
    // counts as not answering after NotAnsweringMs without a word: the probes from
    // KeepAliveIdleS on get through a lossy link that works well before that, and the operator
    // still hears of an outage within seconds. It is given up after GiveUpMs without a word,
    // counted from the last one heard whatever was sent meanwhile: long enough that a link down
    // for a minute (a switch that restarts) keeps the connection. The kernel's user time-out of
    // the same length, counted from the oldest frame still unacknowledged, stays behind that as
    // its own bound. A sonar whose program is slow to answer still acknowledges at the TCP level
    // and is neither.
    static constexpr int keepAliveIdleS = 1;
    static constexpr int keepAliveIntervalS = 1;
    static constexpr int giveUpMs = 70000;
    // The kernel counts the probes as well; set to outlast GiveUpMs, which decides.
    static constexpr int keepAliveProbes = giveUpMs / 1000 / keepAliveIntervalS;
    static constexpr int notAnsweringMs = 7000;
    static constexpr LinkHealth::Limits linkLimits{keepAliveIdleS * 1000, notAnsweringMs, giveUpMs};
    static constexpr int maxResendIntervalMs = 2000;

    CmdSocket(const QByteArray &deviceAddress, quint16 devicePort);
    ~CmdSocket();
    CmdSocket(const CmdSocket &) = delete;
    CmdSocket &operator=(const CmdSocket &) = delete;

    int connectFrom(const QString &hostAddress);
    int connect();
    void close();

    int sendExpectOk(const char *frame, int length);
    int sendShortCmd(quint32 code, quint8 value);

    TYPE_SOCKET handle() const;
    // What the kernel knows of the connection's exchanges; false without a connection.
    bool linkState(LinkHealth::TcpState *out) const;

    // Sends a keepalive probe at once if the connection has been quiet for the keepalive idle
    // time; a failure is logged once. Constant time.
    void probeNow();
    // Ends the connection as given up, as the kernel does with a silent peer: the router
    // reports the end as the sonar's (onLost), and whatever is still unsent is dropped. The
    // socket stays open until close().
    void giveUp();

    // Called once the connection has ended without this side closing it: the sonar closed or
    // reset it, it was given up as silent (by giveUp or by the kernel), or a send found it
    // broken. It may be called on the channel's router thread, and more than once; set it
    // before connecting.
    void setOnLost(std::function<void()> onLost) { m_onLost = std::move(onLost); }

    // One send of the whole frame; the bytes sent, or -1 without a socket or on an error.
    qint64 sendFrame(const QByteArray &frame);

    enum class Reply { Message, Timeout, Closed, SendFailed, NoSocket };
    // Sends the frame and waits for the next message routed to exchanges (scan notices never
    // are); anything that arrived before the send is not taken for the answer.
    Reply exchange(const QByteArray &frame, QByteArray *reply, int timeoutMs = replyTimeoutMs);

    // For a conversation of many frames (the firmware upgrade): every answer goes to inbox,
    // emptied first, until endAnswers, so no other reader of the channel takes one even
    // between two frames. False without a connection.
    bool routeAnswersTo(const std::shared_ptr<CmdInbox> &inbox);
    void endAnswers(const std::shared_ptr<CmdInbox> &inbox);

private:
    int open(const QString *hostAddress);

    QByteArray m_deviceAddress;
    quint16 m_devicePort;
    BsdSocket m_socket;
    std::shared_ptr<CmdRouter> m_router;
    std::shared_ptr<CmdInbox> m_inbox;
    std::function<void()> m_onLost;
    bool m_probeRefused = false;
};
