// The 3D view in a 1080 by 800 window (run it under Xvfb with Mesa's llvmpipe, as the tests do):
//  1. frame time with 100 000 points and a 100-image volume, against the empty view;
//  2. GUI-thread event latency while a 1000 frames/s live stream feeds sigProcessOK, against
//     the same stream handled as written literally (the whole cloud copied on the GUI thread
//     for every frame);
//  3. resident memory of a 1000-image replay: the history, the store's and the view's copies
//     of it, the volume, and moving the slice, against a deep copy of the history.
#include "processClass/ImageHistory.h"
#include "processClass/PointCloudCache.h"
#include "showClass/ImageVolume.h"
#include "showClass/ShowPoint.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double residentMiB()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void fillCloud(int count, std::mt19937 &rng)
{
    std::uniform_real_distribution<float> along(0, 8), bearing(0, 6.2831853f), range(0, 4);
    std::vector<float> cloud;
    cloud.reserve(4 * std::size_t(count));
    for (int i = 0; i < count; ++i) {
        const float b = bearing(rng), r = range(rng);
        cloud.insert(cloud.end(), {along(rng), r * std::sin(b), r * std::cos(b), 100.0f});
    }
    PointCloudCache::instance().clear();
    PointCloudCache::instance().appendPoints(cloud.data(), quint32(count));
}

// count images of 800 x 800 samples, stored as a replay stores them.
std::deque<ImageFrame> makeHistory(int count)
{
    ImageHistory history;
    std::vector<quint16> acc(800 * 800);
    packageInfo head;
    head.gamma = 1.0f;
    head.speed = 500;
    head.maxDist = 4;
    std::vector<FrameResult> none;
    for (int i = 0; i < count; ++i) {
        for (std::size_t j = 0; j < acc.size(); j += 97)
            acc[j] = quint16(j * 31 + std::size_t(i) * 977);
        history.push(20, head, acc.data(), 800, 800, none);
    }
    return history.frames();
}

struct View
{
    QQuickWindow m_window;
    ShowPoint *m_item = new ShowPoint;
    // Time spent synchronising (render thread, GUI thread blocked): hooked before the item's
    // own hook so that its hand-over is inside.
    std::atomic<qint64> m_syncNs{0};
    Clock::time_point m_syncStart;

    View()
    {
        m_window.resize(1080, 800);
        QObject::connect(
            &m_window, &QQuickWindow::beforeSynchronizing, &m_window,
            [this] { m_syncStart = Clock::now(); }, Qt::DirectConnection);
        QObject::connect(
            &m_window, &QQuickWindow::afterSynchronizing, &m_window,
            [this] {
                m_syncNs +=
                    std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - m_syncStart)
                        .count();
            },
            Qt::DirectConnection);
        m_item->setParentItem(m_window.contentItem());
        m_item->setSize(QSizeF(1080, 800));
    }
    bool show()
    {
        m_window.show();
        return waitFrames(5) > 0;
    }
    // Renders frames back to back, one asked for after each, as the main window does; calls
    // beforeEach(k) before asking for frame k. Returns the mean milliseconds per frame.
    double waitFrames(int frames, const std::function<void(int)> &beforeEach = {})
    {
        QEventLoop loop;
        int done = 0;
        QElapsedTimer timer;
        const auto c = QObject::connect(
            &m_window, &QQuickWindow::frameSwapped, &loop,
            [&] {
                if (++done == frames) {
                    loop.quit();
                    return;
                }
                if (beforeEach)
                    beforeEach(done);
                m_window.update();
            },
            Qt::QueuedConnection);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        timer.start();
        m_window.update();
        loop.exec();
        QObject::disconnect(c);
        return done == frames ? double(timer.nsecsElapsed()) / 1e6 / frames : -1;
    }
};

void frameTime()
{
    std::mt19937 rng(3);
    double emptyMs = 0;
    {
        PointCloudCache::instance().clear();
        PointCloudCache::instance().setFrames({});
        View view;
        if (!view.show())
            return;
        emptyMs = view.waitFrames(200);
    }
    fillCloud(100000, rng);
    PointCloudCache::instance().setFrames(makeHistory(100));
    View view;
    if (!view.show())
        return;
    view.m_item->imagesUpdate();
    view.m_item->pointCloudUpdate(packageInfo(), 4.0f);
    view.m_item->setSliceIndex(50);
    view.waitFrames(5);
    const double fullMs = view.waitFrames(200);
    const double sliceMs =
        view.waitFrames(100, [&](int k) { view.m_item->setSliceIndex(k % 100); });
    std::printf("frame time, 100000 points + 100-image volume: %.2f ms (%.0f frames/s)\n", fullMs,
                1000.0 / fullMs);
    std::printf("  reference, empty view:                      %.2f ms   ratio %.2f\n", emptyMs,
                fullMs / emptyMs);
    std::printf(
        "  moving the slice every frame:               %.2f ms   ratio %.2f to a still slice\n",
        sliceMs, sliceMs / fullMs);
}

// Posts an event to the GUI thread every 5 ms from a thread of its own and records how late
// each one is handled.
struct LatencyProbe
{
    QObject m_target;
    std::vector<double> m_late;
    std::atomic<bool> m_running{true};
    std::thread m_poster;

    void start()
    {
        m_poster = std::thread([this] {
            while (m_running) {
                const auto sent = Clock::now();
                QMetaObject::invokeMethod(
                    &m_target,
                    [this, sent] {
                        m_late.push_back(
                            std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                    },
                    Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    void stop()
    {
        m_running = false;
        m_poster.join();
        QCoreApplication::processEvents();
    }
    double percentile(double p)
    {
        if (m_late.empty())
            return -1;
        std::sort(m_late.begin(), m_late.end());
        return m_late[std::min(m_late.size() - 1, std::size_t(p * double(m_late.size())))];
    }
};

// The live loop's side of sigProcessOK: two points per frame into the store, then the signal,
// 1000 times a second, from a thread of its own.
class Stream : public QObject
{
    Q_OBJECT

public:
    std::atomic<bool> m_running{true};
    std::atomic<int> m_sent{0};

    void run()
    {
        auto next = Clock::now();
        packageInfo head;
        float along = 0;
        while (m_running) {
            along += 0.001f;
            const float pair[] = {along, 1, 2, 50, along, -1, -2, 50};
            PointCloudCache::instance().appendPoints(pair, 2);
            emit sigProcessOK(head, 4.0f);
            ++m_sent;
            next += std::chrono::microseconds(1000);
            std::this_thread::sleep_until(next);
        }
    }

signals:
    void sigProcessOK(packageInfo head, float maxRadius);
};

struct LiveRun
{
    double p50 = 0, p99 = 0, max = 0;
    int frames = 0;
    int signalsSent = 0;
    double seconds = 0;
    double syncMs = 0; // the GUI thread blocked while the item hands over to the renderer
    double copyMs = 0; // the GUI thread copying the cloud outside of that
};

LiveRun liveRun(bool copyPerSignal)
{
    std::mt19937 rng(4);
    fillCloud(100000, rng);
    View view;
    LiveRun out;
    if (!view.show())
        return out;
    // The main window asks for the next frame after every frame.
    QObject::connect(
        &view.m_window, &QQuickWindow::frameSwapped, view.m_item,
        [&] {
            ++out.frames;
            emit view.m_item->sigSetWindowWidth(1080);
        },
        Qt::QueuedConnection);

    Stream stream;
    std::vector<float> literalCopy(4 * std::size_t(PointCloudCache::capacity));
    qint64 copyNs = 0;
    QObject::connect(&stream, &Stream::sigProcessOK, view.m_item, &ShowPoint::pointCloudUpdate,
                     Qt::QueuedConnection);
    if (copyPerSignal) {
        QObject::connect(
            &stream, &Stream::sigProcessOK, view.m_item,
            [&](packageInfo, float) {
                const auto start = Clock::now();
                quint32 n = 0;
                PointCloudCache::instance().readPoints(&n, literalCopy.data());
                copyNs += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start)
                              .count();
            },
            Qt::QueuedConnection);
    }
    LatencyProbe probe;
    probe.start();
    std::thread feeder([&stream] { stream.run(); });
    QElapsedTimer timer;
    timer.start();
    view.m_syncNs = 0;
    QEventLoop loop;
    QTimer::singleShot(4000, &loop, &QEventLoop::quit);
    loop.exec();
    stream.m_running = false;
    feeder.join();
    probe.stop();
    out.seconds = double(timer.elapsed()) / 1000.0;
    out.syncMs = double(view.m_syncNs) / 1e6;
    out.copyMs = double(copyNs) / 1e6;
    out.signalsSent = stream.m_sent;
    out.p50 = probe.percentile(0.5);
    out.p99 = probe.percentile(0.99);
    out.max = probe.percentile(1.0);
    // Let the queued signals drain before the next run.
    QElapsedTimer drain;
    drain.start();
    while (drain.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return out;
}

void latency()
{
    const LiveRun coalesced = liveRun(false);
    const LiveRun literal = liveRun(true);
    const auto print = [](const char *name, const LiveRun &r) {
        std::printf("  %s median %.2f ms, p99 %.2f ms, max %.2f ms; %.0f frames/s, %.0f signals/s;"
                    " GUI thread per second: %.0f ms in hand-overs, %.0f ms copying the cloud\n",
                    name, r.p50, r.p99, r.max, r.frames / r.seconds, r.signalsSent / r.seconds,
                    r.syncMs / r.seconds, r.copyMs / r.seconds);
    };
    std::printf("GUI-thread event latency, 1000 frames/s live stream, 100000 points (target under "
                "50 ms):\n");
    print("one cloud copy per rendered frame: ", coalesced);
    print("reference, a copy for every signal:", literal);
    std::printf("  GUI time per second, reference / coalesced: %.1f\n",
                (literal.syncMs + literal.copyMs)
                    / std::max(1e-3, coalesced.syncMs + coalesced.copyMs));
}

void memory()
{
    PointCloudCache::instance().clear();
    PointCloudCache::instance().setFrames({});
    View view;
    if (!view.show())
        return;
    const double base = residentMiB();
    std::deque<ImageFrame> history = makeHistory(1000);
    const double withHistory = residentMiB();
    PointCloudCache::instance().setFrames(history);
    const double withStore = residentMiB();
    QElapsedTimer timer;
    timer.start();
    view.m_item->imagesUpdate();
    const double buildMs = double(timer.nsecsElapsed()) / 1e6;
    const double withVolume = residentMiB();
    view.m_item->setSliceIndex(500);
    timer.start();
    view.waitFrames(3);
    const double uploadMs = double(timer.nsecsElapsed()) / 1e6;
    const double uploaded = residentMiB();
    const double sliceMs =
        view.waitFrames(50, [&](int k) { view.m_item->setSliceIndex(k * 19 % 1000); });
    const double afterSlices = residentMiB();

    // The volume alone, against the same bytes made as written: a zero-filled array, then
    // one sample at a time.
    timer.start();
    const auto built = buildVolume(history);
    const double fastMs = double(timer.nsecsElapsed()) / 1e6;
    timer.start();
    std::vector<quint8> literal(std::size_t(800) * 800 * history.size(), 0);
    std::size_t at = 0;
    for (const ImageFrame &f : history)
        for (std::size_t j = 0; j < std::size_t(800) * 800; ++j)
            literal[at++] = quint8(f.image.at(qsizetype(j)) >> 8);
    const double literalMs = double(timer.nsecsElapsed()) / 1e6;
    const bool same = built
                      && std::equal(literal.begin(), literal.end(),
                                    reinterpret_cast<const quint8 *>(built->bytes.constData()));

    const double beforeDeepCopy = residentMiB();
    std::deque<ImageFrame> deep;
    for (const ImageFrame &f : history) {
        ImageFrame copy = f;
        copy.image = QList<quint16>(f.image.constBegin(), f.image.constEnd());
        deep.push_back(std::move(copy));
    }
    const double withDeepCopy = residentMiB();

    std::printf("resident memory, 1000-image replay (800 x 800 x 1000 volume):\n");
    std::printf("  before:                                   %8.0f MiB\n", base);
    std::printf("  history of 1000 images:                   %8.0f MiB (+%.0f)\n", withHistory,
                withHistory - base);
    std::printf("  the store's copy of it:                   %8.0f MiB (+%.0f)\n", withStore,
                withStore - withHistory);
    std::printf("  the view's copy and the volume built:     %8.0f MiB (+%.0f) in %.0f ms, once "
                "per replay part\n",
                withVolume, withVolume - withStore, buildMs);
    std::printf("  volume uploaded, the view's bytes freed:  %8.0f MiB (%+.0f) in %.0f ms\n",
                uploaded, uploaded - withVolume, uploadMs);
    std::printf(
        "  50 frames moving the slice:               %8.0f MiB (%+.0f), %.2f ms per frame\n",
        afterSlices, afterSlices - uploaded, sliceMs);
    std::printf(
        "  reference, a deep copy of the history:   +%.0f MiB; the store's copy costs %.4f of it\n",
        withDeepCopy - beforeDeepCopy, (withStore - withHistory) / (withDeepCopy - beforeDeepCopy));
    std::printf("building the 1000-image volume: %.0f ms; reference, zero-filled and sample by "
                "sample: %.0f ms;"
                " ratio %.2f; same bytes: %s\n",
                fastMs, literalMs, literalMs / fastMs, same ? "yes" : "NO");
}

} // namespace

int main(int argc, char **argv)
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QGuiApplication app(argc, argv);
    qRegisterMetaType<packageInfo>("packageInfo");
    frameTime();
    latency();
    memory();
    return 0;
}

#include "bench_showpoint.moc"
