#include "CraftedStream.h"

#include "SonarFrameBuilder.h"
#include "processClass/PacketRing.h"

#include <chrono>

namespace SimSonar {

std::vector<QByteArray> craftedStream(float step, float workCycle, int frames)
{
    packageInfo head = defaultHeader();
    head.dataHeight = 100;
    head.maxDist = 40.0f;
    head.distReso = 0.4f; // 100 bins span the whole range: every sector is painted to the edge
    head.workCycle = workCycle;
    head.vez25EDirectionAngle = step;
    const SampleFunction sample = echoSamples({{0, 30, 20000, 3}, {1, 60, 25000, 3}}, 300);
    std::vector<QByteArray> packets;
    for (int f = 0; f < frames; ++f) {
        head.frameSerialNum = quint32(f);
        head.direction = float(f % 400) * 0.9f - 180.0f;
        for (const QByteArray &packet : buildFrame(head, sample))
            packets.push_back(packet);
    }
    return packets;
}

RingFeeder::RingFeeder(PacketRing *ring, std::vector<QByteArray> packets, double packetsPerSecond)
{
    m_thread = std::thread([this, ring, packets = std::move(packets), packetsPerSecond] {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        for (quint64 n = 0; !m_stop.load(); ++n) {
            const auto due =
                start + std::chrono::nanoseconds(qint64(double(n) * 1e9 / packetsPerSecond));
            if (due > Clock::now())
                std::this_thread::sleep_until(due);
            const QByteArray &packet = packets[n % packets.size()];
            ring->push(packet.constData(), quint16(packet.size()));
        }
    });
}

RingFeeder::~RingFeeder()
{
    stop();
}

void RingFeeder::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace SimSonar
