#pragma once

#include "SonarStreamer.h"

#include "app/InformationCenter.h"
#include "processClass/PacketRing.h"
#include "processClass/Processing.h"
#include "processClass/UdpReceiver.h"

#include <QObject>

// The live data path as the program builds it: the ring, the hub, a Processing worker and a
// real receiver bound on loopback, and the simulated sonar aimed at it; torn down in the
// order the program uses.
struct LivePath
{
    PacketRing *m_ring = new PacketRing(packetSize, 50000);
    InformationCenter *m_center;
    Processing m_processing{&m_ring, &m_center};
    UdpReceiver m_receiver{&m_ring, QStringLiteral("127.0.0.1")};
    SonarStreamer m_sonar;
    quint16 m_port = 0;

    explicit LivePath(QObject *owner);
    ~LivePath();
    LivePath(const LivePath &) = delete;
    LivePath &operator=(const LivePath &) = delete;

    // Starts the worker and the receiver and aims the sonar at the bound port.
    bool start();
};
