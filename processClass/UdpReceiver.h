#pragma once

#include "WhileThread.h"

#include "netClass/BsdSocket.h"

#include <QObject>
#include <QString>

class PacketRing;

// Receives the sonar's data stream: binds a UDP socket to the given local address on port
// 5008 or the next free port above it, reports the port once per start(), and pushes every
// datagram of up to one packet into the ring as one whole, zero-padded packet. Longer
// datagrams are dropped. It is the ring's only writer.
//
// Owner's order: construct; connect sig_rSonarDataPort; start(); later stop(); delete.
// When no port can be bound (the address is not local, or every port up to 65535 is taken)
// the receiver warns, reports sigBindFailed with the reason instead of a port, and its thread
// ends; a stop() during the search ends it with neither report.
class UdpReceiver : public QObject, public WhileThread
{
    Q_OBJECT

public:
    // ring: the owner's ring pointer member, read at each push.
    UdpReceiver(PacketRing **ring, const QString &bindAddress, QObject *parent = nullptr);
    ~UdpReceiver() override;

signals:
    // The bound port as decimal text, from the receiver's thread, as soon as it is bound.
    void sig_rSonarDataPort(QString a_rSonarData);
    // No port could be bound on the address, from the receiver's thread; nothing is received.
    // inError is the system's error number of the failure (EINVAL: the text is no IPv4
    // address), or 0 when every port from 5008 up is held by other sockets.
    void sigBindFailed(QString inBindAddress, int inError);

protected:
    void run() override;

private:
    // Binds the socket; on failure returns false with the reason in *error (see sigBindFailed).
    bool openSocket(int *error);

    const quint16 m_packetLength;
    PacketRing **const m_ring;
    const QString m_bindAddress;
    BsdSocket m_socket;
    Ipv4Endpoint m_local;
};
