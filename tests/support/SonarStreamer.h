#pragma once

#include "SonarFrameBuilder.h"

#include "netClass/BsdSocket.h"
#include "processClass/WhileThread.h"

#include <atomic>
#include <memory>
#include <mutex>

// Data-stream side of the simulated sonar: sends frames as UDP datagrams to one loopback
// destination (or, in a network namespace of its own, one its links reach) at a given frame rate, the packets of a frame spread evenly over the frame
// period. Each frame takes the current header template, gets the next frameSerialNum and the
// current direction, and after it the direction steps by the header's scan step
// (vez25EDirectionAngle), wrapping at 360 degrees.
//
// Configuration (destination, header template, frame rate, samples, faults) may be changed
// from any thread at any time, also while streaming; a change takes effect from the next
// frame. Use either the streaming thread (start()/stop()) or sendFrames(), not both at once.
class SonarStreamer : public WhileThread
{
public:
    // Misbehaviour on request. Counters are 1-based positions in the stream of packets built
    // since the last setFaults(); 0 switches a fault off.
    struct Faults
    {
        quint32 loseEvery = 0;      // every n-th packet is not sent
        quint32 duplicateEvery = 0; // every n-th packet is sent twice
        quint32 reorderEvery = 0;   // every n-th packet is sent after the one that follows it
        quint32 oversizeEvery = 0;  // every n-th datagram is padded to oversizeBytes
        int oversizeBytes = 1100;
        quint32 shortEvery = 0; // every n-th datagram is cut to shortBytes
        int shortBytes = 300;
        int dataWidth = -1;     // 0..255: stamped on every packet, whatever the samples are
        qint64 dataHeight = -1; // 0..2^32-1: stamped on every packet after it is built
    };

    SonarStreamer();
    ~SonarStreamer() override;

    static bool isLoopback(quint32 address);

    // Lets a sonar that runs in a network namespace of its own (whose only links are those a
    // test made) stream to the host at the other end of such a link. Refused, and the
    // streamer stays on loopback, anywhere else.
    bool allowLinkDestinations();

    // Refuses (returns false, keeps the old one) any destination outside 127.0.0.0/8, unless
    // link destinations are allowed.
    bool setDestination(const Ipv4Endpoint &to);
    Ipv4Endpoint destination() const;

    void setHeader(const packageInfo &head);
    packageInfo header() const;
    // Edits the template in place under the lock, e.g. for one command's field.
    void updateHeader(const std::function<void(packageInfo &)> &edit);

    void setFrameRate(double framesPerSecond);
    double frameRate() const;

    void setSampleFunction(const SimSonar::SampleFunction &sample);
    void setEchoes(const QVector<SimSonar::Echo> &echoes, quint16 floor = 0);

    void setFaults(const Faults &faults);

    // Stops streaming by itself after this many frames (0: no limit).
    void setFrameLimit(quint64 frames);

    // Builds and sends count frames at once on the caller's thread, unpaced. Returns the
    // number of datagrams sent.
    quint64 sendFrames(int count);

    quint64 framesSent() const { return m_framesSent.load(); }
    quint64 datagramsSent() const { return m_datagramsSent.load(); }
    quint64 sendErrors() const { return m_sendErrors.load(); }

protected:
    void run() override;

private:
    struct Config
    {
        Ipv4Endpoint destination;
        bool hasDestination = false;
        packageInfo header = SimSonar::defaultHeader();
        double fps = 20;
        std::shared_ptr<const SimSonar::SampleFunction> sample;
        Faults faults;
        quint64 faultGeneration = 0;
        quint64 sampleGeneration = 0;
        quint64 frameLimit = 0;
    };

    bool mayReach(quint32 address) const;
    Config snapshot() const;
    // The datagrams of the next frame, with the faults applied.
    QVector<QByteArray> nextFrame(const Config &config);
    bool sendDatagram(const QByteArray &datagram, const Ipv4Endpoint &to);
    // Sleeps or spins until the steady-clock time (ns); false if stopped meanwhile.
    bool waitUntil(qint64 dueNs) const;

    mutable std::mutex m_configMutex;
    Config m_config;

    // Stream state, touched only by the sending thread.
    BsdSocket m_socket;
    quint32 m_frameSerial = 0;
    float m_direction = 0;
    quint64 m_packetCounter = 0;
    quint64 m_faultGeneration = ~quint64(0);
    quint64 m_sampleGeneration = ~quint64(0);
    packageInfo m_layout;
    QVector<QByteArray> m_payloads;

    std::atomic<bool> m_linkDestinations{false};
    std::atomic<quint64> m_framesSent{0};
    std::atomic<quint64> m_datagramsSent{0};
    std::atomic<quint64> m_sendErrors{0};
};
