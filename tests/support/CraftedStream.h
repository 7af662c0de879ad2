#pragma once

#include <QByteArray>

#include <atomic>
#include <thread>
#include <vector>

class PacketRing;

// Data streams as anyone on the LAN could send them to the data port, and a thread that feeds
// them into the packet ring.
namespace SimSonar {

// One-packet frames of 100 bins per beam that reach the edge of the image, plausible in every
// field but the scan step: each frame's bearing moves on by 0.9 degrees. A step of 0.9 gives a
// normal stream; 1e6, 5e31, the largest float or infinity make every frame's sector the whole
// circle. The work cycle sets the batch size (0.1 s: one frame, 0.005 s: 20 frames).
std::vector<QByteArray> craftedStream(float step, float workCycle, int frames);

// Pushes packets into a ring from a thread of its own, round and round, at a fixed rate, until
// stopped or destroyed.
class RingFeeder
{
public:
    RingFeeder(PacketRing *ring, std::vector<QByteArray> packets, double packetsPerSecond);
    ~RingFeeder();
    RingFeeder(const RingFeeder &) = delete;
    RingFeeder &operator=(const RingFeeder &) = delete;

    void stop();

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace SimSonar
