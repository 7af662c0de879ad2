// The whole live loop: simulated frames of 4000 bins per beam pushed into a packet ring at a
// fixed rate, Processing draining it (assembly, echo processing, points, batches drawn and
// published as pixmaps). A rate is held when every frame comes out, the ring loses nothing and
// the worker has kept pace (no backlog left when the pushing ends). Compared against the
// fastest frame rate the system plans for (200 frames/s).
#include "app/InformationCenter.h"
#include "processClass/PacketRing.h"
#include "processClass/PointCloudCache.h"
#include "processClass/Processing.h"
#include "support/SonarFrameBuilder.h"

#include <QGuiApplication>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Run
{
    double rate = 0;
    quint64 framesOut = 0;
    quint64 framesIn = 0;
    quint64 lost = 0;
    quint64 pixmaps = 0;
    double seconds = 0;
    double lag = 0; // seconds from the last push to the last frame out
    // Kept pace: every frame out, nothing lost, and no backlog left for the ring to carry
    // (the ring alone can hide a slow worker for over two thousand frames).
    bool held() const { return lost == 0 && framesOut == framesIn && lag <= maxLag; }
    static constexpr double maxLag = 0.1;
};

std::vector<QByteArray> buildStream(float workCycle, int frames)
{
    packageInfo head = SimSonar::defaultHeader();
    head.workCycle = workCycle;
    const auto sample = SimSonar::echoSamples({{0, 1200, 20000, 3}, {1, 3000, 25000, 4}}, 300);
    std::vector<QByteArray> packets;
    for (int f = 0; f < frames; ++f) {
        head.frameSerialNum = quint32(f);
        head.direction = float(f * 0.9 - 180.0 * std::floor(f * 0.9 / 180.0)) - 180.0f;
        for (const QByteArray &p : SimSonar::buildFrame(head, sample))
            packets.push_back(p);
    }
    return packets;
}

// Pushes frames at rate for seconds, then waits for the worker to drain the ring.
Run runAt(double rate, double seconds, const std::vector<QByteArray> &packets, int packetsPerFrame)
{
    PacketRing *ring = new PacketRing(packetSize, 50000);
    InformationCenter *center = new InformationCenter;
    Run run;
    run.rate = rate;
    {
        Processing processing(&ring, &center);
        std::atomic<quint64> out{0};
        std::atomic<quint64> pixmaps{0};
        std::atomic<qint64> lastOut{0};
        QObject::connect(&processing, &Processing::sigProcessOK, &processing,
                         [&](packageInfo, float) {
                             ++out;
                             lastOut = Clock::now().time_since_epoch().count();
                         }, Qt::DirectConnection);
        QObject::connect(&processing, &Processing::sigUpdatePixmap, &processing,
                         [&](QPixmap, bool) { ++pixmaps; }, Qt::DirectConnection);
        processing.start();

        const quint64 frames = quint64(rate * seconds);
        const std::size_t streamFrames = packets.size() / packetsPerFrame;
        const auto start = Clock::now();
        for (quint64 f = 0; f < frames; ++f) {
            const auto due = start + std::chrono::nanoseconds(qint64(f * 1e9 / rate));
            while (Clock::now() < due)
                std::this_thread::yield();
            const std::size_t first = (f % streamFrames) * packetsPerFrame;
            for (int p = 0; p < packetsPerFrame; ++p)
                ring->push(packets[first + p].constData(), packetSize);
        }
        const auto pushed = Clock::now();
        while (out.load() < frames && Clock::now() - pushed < std::chrono::seconds(2))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        run.lag = std::max(0.0, std::chrono::duration<double>(Clock::time_point(Clock::duration(lastOut.load())) - pushed).count());
        processing.stop();
        run.framesIn = frames;
        run.framesOut = out.load();
        run.pixmaps = pixmaps.load();
        run.lost = ring->lostPackets();
    }
    delete center;
    delete ring;
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    qRegisterMetaType<packageInfo>("packageInfo");

    // The work cycle is the sonar's own seconds per frame: a sonar at 200 frames/s or faster
    // stamps 0.005 or less, which gives a picture every 20 frames; that case carries the
    // target. The second stream claims 20 frames/s (a picture every 2 frames) while arriving
    // far faster: a stress figure only.
    struct Stream
    {
        float workCycle;
        bool target;
    };
    const Stream streams[] = {{0.005f, true}, {0.05f, false}};
    bool ok = true;
    std::printf("live loop, 4000 bins per beam, %d-byte packets, ring of 50000 slots\n", int(packetSize));
    for (const Stream &stream : streams) {
        const float workCycle = stream.workCycle;
        const std::vector<QByteArray> packets = buildStream(workCycle, 200);
        const int perFrame = int(SimSonar::packetsPerFrame(SimSonar::defaultHeader()));
        const int n = Processing::batchSizeFor(workCycle);
        std::printf("work cycle %.3f s (a picture every %d frames)%s:\n", workCycle, n,
                    stream.target ? "" : ", stress only");
        double best = 0;
        for (const double rate : {200.0, 1000.0, 1500.0, 2000.0, 3000.0, 4000.0, 6000.0, 8000.0}) {
            const Run r = runAt(rate, 3.0, packets, perFrame);
            std::printf("  %6.0f frames/s for 3 s: %6llu of %6llu frames out, %4llu pictures, %llu packets lost, "
                        "last frame %4.0f ms after the last push: %s\n",
                        rate, (unsigned long long)r.framesOut, (unsigned long long)r.framesIn,
                        (unsigned long long)r.pixmaps, (unsigned long long)r.lost, r.lag * 1000,
                        r.held() ? "held" : "not held");
            if (!r.held())
                break;
            best = rate;
        }
        std::printf("  (held: no loss and at most %.0f ms of backlog at the end; the ring could hide up to %d frames)\n",
                    Run::maxLag * 1000, 50000 / perFrame);
        std::printf("  held up to %.0f frames/s = %.1fx the planned 200 frames/s%s\n", best, best / 200.0,
                    stream.target ? " (target 1000)" : "");
        if (stream.target)
            ok = ok && best >= 1000;
    }
    std::printf("target (>= 1000 frames/s held with pictures): %s\n", ok ? "met" : "NOT MET");
    return ok ? 0 : 1;
}
