#pragma once

#include "BsdSocket.h"
#include "processClass/WhileThread.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <mutex>
#include <vector>

// The discovery socket worker: sends the 12-byte "KXSearching" request to port 9001 (as a
// broadcast or to one address) from one socket per local address, receives the replies on its
// own thread and reports each one that carries the reply mark with the sender's address and
// the local address that faces it.
class UdpSerchDev : public QObject, public WhileThread
{
    Q_OBJECT
public:
    static constexpr quint16 searchPort = 9001;
    static constexpr int receiveBytes = 1024;
    static constexpr int receiveBufferBytes = 0xA00000;
    static constexpr int receiveTimeoutMs = 50;

    explicit UdpSerchDev(QObject *parent = nullptr);
    ~UdpSerchDev() override;

    void setHostIps(const QStringList &hostIps);
    void sendSearch(bool directed, const QString &address);

    static QByteArray searchRequest();
    // The reply mark, tested on the bytes that arrived: 0xA0, or 0x00 followed by "KX".
    static bool isReply(const char *data, qsizetype size);
    // The local address this host uses towards the peer (no packet is sent).
    static QString localAddressFacing(quint32 peer);

    int socketCount();
    QString destinationAddress() const;

signals:
    void sigDeviceData(QByteArray inDevMsg, QString inDevIp, QString inHostIp);

protected:
    void run() override;

private:
    static BsdSocket makeSocket();
    // Receives one datagram on the socket; reports it when it is a reply. False on a failure.
    bool receiveOne(BsdSocket &socket, char *buffer);

    BsdSocket m_main;
    std::vector<BsdSocket> m_sockets;
    Ipv4Endpoint m_destination;
    mutable std::mutex m_destinationMutex;
    std::mutex m_listMutex;
};
