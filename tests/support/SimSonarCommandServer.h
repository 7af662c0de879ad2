#pragma once

#include "netClass/BsdSocket.h"
#include "processClass/PackageInfo.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The device side of the command channel (TCP, port 5007 on a real sonar): takes host frames
// by their code whatever way TCP merged or split them, records each with its arrival time,
// acknowledges short commands and register writes, answers register reads and the version
// query, keeps the data destination, scanning state and header fields that typed commands
// change, sends scan notices on request, and takes a firmware upgrade packet by packet,
// checking each and acknowledging it with "OK\n". Every kind of answer can be told to
// misbehave.
// One client at a time; a new connection replaces the old one. Runs on a thread of its own,
// so a test may block its own thread in an exchange.
class SimSonarCommandServer
{
public:
    enum class Answer { Acknowledgement, FpgaData, Version, UpgradeAck };
    enum class Fault {
        None,
        NoAnswer,    // stay silent
        Late,        // answer after the fault's delay
        WrongLength, // an answer of the wrong size: "OK" alone, a version of exactly five
                     // bytes, register data one byte short
        Close,       // close the connection instead of answering
    };
    // What may go wrong with the n-th upgrade acknowledgement of every upgrade.
    enum class UpgradeFault {
        None,
        Withhold,  // send nothing
        Wrong,     // three bytes that do not begin "OK"
        FourBytes, // "OK", line feed, NUL
        Split,     // "OK", then the line feed apart in a segment of its own
        Close,     // close the connection instead
        Reset,     // reset the connection instead (RST)
    };
    struct Received
    {
        QByteArray frame;
        qint64 atMs = 0; // milliseconds since the server started
        // When the kernel received the segment that completed the frame, in nanoseconds on
        // the realtime clock: on loopback, when the host sent it.
        qint64 arrivedNs = 0;
        int connection = 0; // which connection brought it: 1 for the first one accepted
    };
    // The upgrade the host is sending, or sent last.
    struct Upgrade
    {
        quint32 size = 0; // the file size the first packet gave
        QByteArray bytes; // the file's bytes, packet after packet
        int packets = 0;  // packets taken and acknowledged
        int refused = 0;  // packets of a wrong size, index or length; never acknowledged
        bool complete() const { return size > 0 && bytes.size() == qsizetype(size); }
    };

    SimSonarCommandServer();
    ~SimSonarCommandServer();
    SimSonarCommandServer(const SimSonarCommandServer &) = delete;
    SimSonarCommandServer &operator=(const SimSonarCommandServer &) = delete;

    // Listens on the address and port (0 picks a free one); false when it cannot.
    bool start(const QString &address = QStringLiteral("127.0.0.1"), quint16 port = 5007);
    void stop();
    quint16 port() const { return m_port; }

    void setFault(Answer answer, Fault fault, int delayMs = 0);
    // Misbehaves at the n-th acknowledgement (from 1) of each upgrade.
    void setUpgradeFault(UpgradeFault fault, int nth);
    Upgrade upgrade() const;
    void setVersionText(const QByteArray &text);
    void setRegister(quint16 address, quint32 value);
    quint32 registerValue(quint16 address) const;

    // Sends raw bytes (e.g. "endofscan" or "reseting") to the connected client.
    bool sendToClient(const QByteArray &bytes);
    // Waits until the client's end has acknowledged every byte sent to it, so that they sit
    // in its receive queue or have been read; false after the time-out or without a client.
    bool waitUntilDelivered(int timeoutMs) const;
    // Drops the client's connection: with the orderly end (FIN), or with a reset (RST) as a
    // sonar that restarts does.
    void closeClient(bool reset = false);

    QList<Received> received() const;
    void clearReceived();
    // Waits until at least count frames have arrived; false after the time-out.
    bool waitForFrames(int count, int timeoutMs) const;
    int connectionCount() const { return m_connections.load(); }

    bool hasDestination() const;
    Ipv4Endpoint destination() const;
    bool scanning() const { return m_scanning.load(); }
    // The header fields the typed commands have changed (maxDist, workCycle, power, ...).
    packageInfo header() const;

    // Called on the server's thread when the host sets the data destination, and when a
    // typed command starts or stops scanning; the data streamer hangs on these.
    std::function<void(const Ipv4Endpoint &)> m_onDestination;
    std::function<void(bool)> m_onScanning;
    // Called on the server's thread with each header edit a typed command makes.
    std::function<void(const std::function<void(packageInfo &)> &)> m_onHeaderEdit;
    // Called on the server's thread with the whole file when an upgrade's last packet came.
    std::function<void(const QByteArray &)> m_onUpgraded;
    // Called on the server's thread with every frame taken, once it has been recorded.
    std::function<void(const Received &)> m_onFrame;

private:
    struct Pending
    {
        qint64 dueMs;
        QByteArray bytes;
        bool close;
        bool reset = false; // with close: a reset instead of the orderly end
    };
    void loop();
    void takeFrames(bool flush);
    void handle(const QByteArray &frame);
    void act(const QByteArray &frame);
    void answer(Answer kind, const QByteArray &proper);
    void takeUpgradePacket(const QByteArray &frame);
    void applyTypedCommand(const QByteArray &frame);
    qint64 nowMs() const;
    static int frameLength(const QByteArray &buffer);

    BsdSocket m_listener;
    BsdSocket m_client;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<int> m_connections{0};
    std::atomic<bool> m_scanning{false};
    qint64 m_startNs = 0;

    QByteArray m_stream; // bytes of the client not yet taken as frames
    qint64 m_lastByteMs = 0;
    qint64 m_lastArrivedNs = 0;
    std::vector<Pending> m_pending;

    mutable std::mutex m_mutex; // guards everything below and the client socket's sends
    mutable std::condition_variable m_frameArrived;
    QList<Received> m_received;
    QMap<int, QPair<Fault, int>> m_faults;
    QByteArray m_version = "KX-SIM V1.0";
    QMap<quint16, quint32> m_registers;
    bool m_hasDestination = false;
    Ipv4Endpoint m_destination;
    packageInfo m_header;
    bool m_closeRequested = false;
    bool m_resetRequested = false;
    Upgrade m_upgrade;
    UpgradeFault m_upgradeFault = UpgradeFault::None;
    int m_upgradeFaultAt = 0;
};
