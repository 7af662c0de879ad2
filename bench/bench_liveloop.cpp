// The whole live loop: simulated frames of 4000 bins per beam pushed into a packet ring at a
// fixed rate, Processing draining it (assembly, echo processing, points, batches drawn and
// published as pixmaps). A rate is held when every frame comes out, the ring loses nothing and
// the worker has kept pace (no backlog left when the pushing ends). The reference, measured the
// same way in the same run, is the bare loop of ring and frame assembler that Processing is
// built on: the upper limit of any live loop on this machine. The target is 1000 frames/s
// with pictures, five times the fastest frame rate the system plans for (200 frames/s).
#include "app/InformationCenter.h"
#include "processClass/FrameAssembler.h"
#include "processClass/PacketRing.h"
#include "processClass/PointCloudCache.h"
#include "processClass/Processing.h"
#include "processClass/WhileThread.h"
#include "support/SonarFrameBuilder.h"

#include <QGuiApplication>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
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
    double plannedSeconds = 0;
    double pushSeconds = 0; // how long the pushing took
    double lag = 0;         // seconds from the last push to the last frame out
    // The pusher kept the rate: otherwise the rate was not offered, whatever came out.
    bool offered() const { return pushSeconds <= plannedSeconds + maxLag; }
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

// What drains the ring, with its counts: frames out, the time of the last one, pictures.
struct Drain
{
    virtual ~Drain() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
    void frameOut()
    {
        ++m_out;
        m_lastOut = Clock::now().time_since_epoch().count();
    }
    std::atomic<quint64> m_out{0};
    std::atomic<quint64> m_pixmaps{0};
    std::atomic<qint64> m_lastOut{0};
};
using DrainMaker = std::function<std::unique_ptr<Drain>(PacketRing **, InformationCenter **)>;

// The live loop itself.
struct ProcessingDrain : Drain
{
    ProcessingDrain(PacketRing **ring, InformationCenter **center) : m_processing(ring, center)
    {
        QObject::connect(
            &m_processing, &Processing::sigProcessOK, &m_processing,
            [this](packageInfo, float) { frameOut(); }, Qt::DirectConnection);
        QObject::connect(
            &m_processing, &Processing::sigUpdatePixmap, &m_processing,
            [this](QPixmap, bool) { ++m_pixmaps; }, Qt::DirectConnection);
    }
    void start() override { m_processing.start(); }
    void stop() override { m_processing.stop(); }
    Processing m_processing;
};

// The reference: the ring read as Processing reads it and every frame assembled and taken,
// nothing more.
struct BareDrain : Drain, WhileThread
{
    explicit BareDrain(PacketRing **ring)
        : m_ring(ring), m_frame(new uchar[std::size_t(FrameAssembler::frameCapacity())])
    {
    }
    ~BareDrain() override { WhileThread::stop(); }
    void start() override { WhileThread::start(); }
    void stop() override { WhileThread::stop(); }
    void run() override
    {
        std::vector<uchar> packet(packetSize);
        int idle = 0;
        packageInfo head;
        while (isRunning()) {
            if (!(*m_ring)->pop(packet.data())) {
                if (++idle >= 10) {
                    idle = 0;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                continue;
            }
            if (m_assembler.addPacket(packet.data()) != 1)
                continue;
            m_assembler.takeFrame(&head, m_frame.get(), FrameAssembler::frameCapacity());
            frameOut();
        }
    }
    PacketRing **m_ring;
    FrameAssembler m_assembler;
    std::unique_ptr<uchar[]> m_frame;
};

// Pushes frames at rate for seconds, then waits for the drain to empty the ring.
Run runAt(double rate, double seconds, const std::vector<QByteArray> &packets, int packetsPerFrame,
          const DrainMaker &makeDrain)
{
    PacketRing *ring = new PacketRing(packetSize, 50000);
    InformationCenter *center = new InformationCenter;
    Run run;
    run.rate = rate;
    {
        const std::unique_ptr<Drain> drain = makeDrain(&ring, &center);
        std::atomic<quint64> &out = drain->m_out;
        drain->start();

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
        run.plannedSeconds = seconds;
        run.pushSeconds = std::chrono::duration<double>(pushed - start).count();
        while (out.load() < frames && Clock::now() - pushed < std::chrono::seconds(2))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        run.lag =
            std::max(0.0, std::chrono::duration<double>(
                              Clock::time_point(Clock::duration(drain->m_lastOut.load())) - pushed)
                              .count());
        drain->stop();
        run.framesIn = frames;
        run.framesOut = out.load();
        run.pixmaps = drain->m_pixmaps.load();
        run.lost = ring->lostPackets();
    }
    delete center;
    delete ring;
    return run;
}

// Climbs the rates until one is not held; prints a row per rate. Returns the last rate held
// and, through top, whether no faster rate could be offered.
double heldUpTo(const std::vector<QByteArray> &packets, int perFrame, const DrainMaker &makeDrain,
                bool *top)
{
    const double rates[] = {200,   1000,  1500,  2000,  3000,  4000,  6000,  8000,
                            12000, 16000, 24000, 32000, 48000, 64000, 96000, 128000};
    double best = 0;
    *top = false;
    for (const double rate : rates) {
        const Run r = runAt(rate, 3.0, packets, perFrame, makeDrain);
        if (!r.offered()) {
            std::printf("  %6.0f frames/s: pushing took %.1f s instead of 3, the fastest this "
                        "machine can offer\n",
                        rate, r.pushSeconds);
            *top = true;
            return best;
        }
        std::printf("  %6.0f frames/s for 3 s: %6llu of %6llu frames out, %4llu pictures, %llu "
                    "packets lost, "
                    "last frame %4.0f ms after the last push: %s\n",
                    rate, (unsigned long long)r.framesOut, (unsigned long long)r.framesIn,
                    (unsigned long long)r.pixmaps, (unsigned long long)r.lost, r.lag * 1000,
                    r.held() ? "held" : "not held");
        if (!r.held())
            return best;
        best = rate;
    }
    *top = true;
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    qRegisterMetaType<packageInfo>("packageInfo");

    const int perFrame = int(SimSonar::packetsPerFrame(SimSonar::defaultHeader()));
    std::printf("live loop, 4000 bins per beam, %d-byte packets, ring of 50000 slots\n",
                int(packetSize));
    std::printf("(held: no loss and at most %.0f ms of backlog at the end; the ring could hide up "
                "to %d frames)\n",
                Run::maxLag * 1000, 50000 / perFrame);

    std::printf("reference: the bare ring and frame assembler, nothing drawn:\n");
    bool bareAtTop = false;
    const double bare = heldUpTo(
        buildStream(0.005f, 200), perFrame,
        [](PacketRing **ring, InformationCenter **) {
            return std::unique_ptr<Drain>(new BareDrain(ring));
        },
        &bareAtTop);
    std::printf("  held up to %s%.0f frames/s%s\n", bareAtTop ? "at least " : "", bare,
                bareAtTop ? " (the fastest rate offered)" : "");

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
    for (const Stream &stream : streams) {
        const float workCycle = stream.workCycle;
        const int n = Processing::batchSizeFor(workCycle);
        std::printf("Processing, work cycle %.3f s (a picture every %d frames)%s:\n", workCycle, n,
                    stream.target ? "" : ", stress only");
        bool atTop = false;
        const double best = heldUpTo(
            buildStream(workCycle, 200), perFrame,
            [](PacketRing **ring, InformationCenter **center) {
                return std::unique_ptr<Drain>(new ProcessingDrain(ring, center));
            },
            &atTop);
        std::printf("  held up to %.0f frames/s = %.2fx the bare loop's %s%.0f frames/s%s\n", best,
                    bare > 0 ? best / bare : 0.0, bareAtTop ? "at least " : "", bare,
                    stream.target ? " (target 1000 frames/s)" : "");
        if (stream.target)
            ok = ok && best >= 1000;
    }
    std::printf("target (>= 1000 frames/s held with pictures): %s\n", ok ? "met" : "NOT MET");
    return ok ? 0 : 1;
}
