// What a crafted data stream from the LAN costs: frames plausible in every field but the scan
// step (1e6 degrees), which makes every frame's sector the whole circle.
//  1. Drawing: a batch of 20 such frames through Processing::drawImage beside the same batch
//     with the normal step, and both in units of one full-image pass (every one of the 640000
//     pixels given its range bin and sample once, the least one whole-circle sector costs).
//  2. The GUI thread: the longest any of Processing's GUI-thread calls took while a running
//     Processing was fed the crafted stream, beside the same with a normal stream at the same
//     rate, in one run.
#include "app/InformationCenter.h"
#include "processClass/PacketRing.h"
#include "processClass/PolarImage.h"
#include "processClass/Processing.h"
#include "support/CraftedStream.h"
#include "support/SectorFrames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QUrl>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {

std::vector<SectorFrame> makeBatch(float step, int first, std::mt19937 &rng)
{
    std::uniform_int_distribution<int> sample(0, 65535);
    std::vector<SectorFrame> batch;
    for (int k = 0; k < 20; ++k) {
        SectorFrame f(float((first + k) * 0.9 - 180), step, 4000, 2, 40, 0.01f);
        f.m_head.gamma = 1.4f;
        for (auto &s : f.m_samples)
            s = quint16(sample(rng));
        batch.push_back(std::move(f));
    }
    return batch;
}

// Milliseconds per call of drawImage over batches of 20 frames with this scan step.
double drawCost(Processing &processing, float step, int batches)
{
    std::mt19937 rng(5);
    double ms = 0;
    QElapsedTimer timer;
    for (int b = 0; b < batches; ++b) {
        const std::vector<SectorFrame> frames = makeBatch(step, b * 20, rng);
        const SectorBatch batch(frames);
        timer.start();
        processing.drawImage(batch.m_heads.data(), batch.m_data.data(), batch.m_bytes.data(), 20);
        ms += timer.nsecsElapsed() / 1e6;
    }
    return ms / batches;
}

// Milliseconds of one full-image pass: every pixel's range bin from the tables, one sample
// each, in row order.
double fullPassCost(const SectorFrame &frame, int passes)
{
    PolarImage image;
    const std::vector<double> &dist = image.distTable();
    quint16 *out = image.accImage();
    const double maxDist = frame.m_head.maxDist;
    const double reso = frame.m_head.distReso;
    const double limit = frame.m_head.dataHeight;
    QElapsedTimer timer;
    timer.start();
    for (int p = 0; p < passes; ++p) {
        for (int i = 0; i < PolarImage::imageRows * PolarImage::imageCols; ++i) {
            const double bin = std::round(maxDist * dist[i] / PolarImage::imageRadius / reso);
            if (bin >= 0 && bin < limit)
                std::memcpy(&out[i], frame.m_samples.data() + std::size_t(bin) * 2, 2);
        }
    }
    const double ms = timer.nsecsElapsed() / 1e6 / passes;
    volatile quint16 keep = out[123456]; // the passes' result is used
    (void)keep;
    return ms;
}

struct Flood
{
    double longestMs = 0;
    int calls = 0;
    int frames = 0;
    quint64 lost = 0;
};

// Feeds a running Processing the stream at rate datagrams per second for seconds while the
// GUI thread calls its slots and handlers in turn, one every 2 ms; the longest single call.
Flood flood(float step, double rate, double seconds)
{
    PacketRing *ring = new PacketRing(packetSize, 50000);
    InformationCenter *center = new InformationCenter;
    QTemporaryDir dir;
    Flood result;
    {
        Processing processing(&ring, &center);
        std::atomic<int> frames{0};
        QObject::connect(
            &processing, &Processing::sigProcessOK, &processing,
            [&](packageInfo, float) { ++frames; }, Qt::DirectConnection);
        processing.start();
        SimSonar::RingFeeder feeder(ring, SimSonar::craftedStream(step, 0.1f, 400), rate);
        const QString url =
            QUrl::fromLocalFile(dir.filePath(QStringLiteral("flood.DB"))).toString();
        const qint64 callEveryNs = 2000000;
        QElapsedTimer run;
        QElapsedTimer call;
        run.start();
        auto timed = [&](auto &&f) {
            call.start();
            f();
            result.longestMs = std::max(result.longestMs, call.nsecsElapsed() / 1e6);
            ++result.calls;
        };
        for (int round = 0; run.elapsed() < seconds * 1000; ++round) {
            switch (round % 6) {
            case 0:
                timed([&] { processing.setIsShowPoint(round % 4 == 0); });
                break;
            case 1:
                timed([&] { processing.init(); });
                break;
            case 2:
                timed([&] { emit center->sigBrightnessOffset(round % 7); });
                break;
            case 3:
                timed([&] {
                    center->setFileStatus(round % 4 == 3 ? InformationCenter::FileStatus::Saving
                                                         : InformationCenter::FileStatus::None);
                });
                break;
            case 4:
                timed([&] { emit center->sigSaveFile(url); });
                break;
            default:
                timed([&] { emit center->sigStopSaveFile(); });
                break;
            }
            // Far more often than an operator could, and in between the GUI thread's other
            // work: the queued results and pictures of the loop.
            while (run.nsecsElapsed() < (round + 1) * callEveryNs)
                QCoreApplication::processEvents();
        }
        feeder.stop();
        processing.stop();
        result.frames = frames.load();
        result.lost = ring->lostPackets();
    }
    delete center;
    delete ring;
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    qRegisterMetaType<packageInfo>("packageInfo");
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const float crafted = 1e6f;

    std::printf(
        "1. one batch of 20 frames of 4000 bins drawn and published (Processing::drawImage)\n");
    PacketRing *noRing = nullptr;
    InformationCenter *center = new InformationCenter;
    double normalMs;
    double craftedMs;
    {
        Processing processing(&noRing, &center);
        drawCost(processing, 0.9f, 4); // tables, palettes and caches warm
        normalMs = drawCost(processing, 0.9f, 24);
        craftedMs = drawCost(processing, crafted, 24);
    }
    delete center;
    std::mt19937 rng(5);
    const double passMs = fullPassCost(makeBatch(0.9f, 0, rng)[0], 24);
    std::printf("  normal step 0.9:          %8.3f ms per batch = %5.1f full-image passes\n",
                normalMs, normalMs / passMs);
    std::printf("  crafted step 1e6:         %8.3f ms per batch = %5.1f full-image passes, %.1fx "
                "the normal batch\n",
                craftedMs, craftedMs / passMs, craftedMs / normalMs);
    std::printf("  one full-image pass:      %8.3f ms\n", passMs);
    const bool drawOk = craftedMs / passMs <= 20.0;
    std::printf("  target (crafted batch within 20 full-image passes): %s\n",
                drawOk ? "met" : "NOT MET");

    const double rate = 2000;
    const double seconds = 4;
    std::printf("2. longest GUI-thread call into a running Processing fed %.0f one-packet frames/s "
                "for %.0f s\n",
                rate, seconds);
    const Flood normal = flood(0.9f, rate, seconds);
    const Flood hostile = flood(crafted, rate, seconds);
    auto show = [&](const char *name, const Flood &f) {
        std::printf("  %-22s longest call %7.3f ms of %5d calls; loop handled %6d frames "
                    "(%4.0f/s), ring lost %llu packets\n",
                    name, f.longestMs, f.calls, f.frames, f.frames / seconds,
                    (unsigned long long)f.lost);
    };
    show("normal step 0.9:", normal);
    show("crafted step 1e6:", hostile);
    const bool waitOk = normal.longestMs < 20 && hostile.longestMs < 20;
    std::printf("  target (under 20 ms for both): %s\n", waitOk ? "met" : "NOT MET");
    return drawOk && waitOk ? 0 : 1;
}
