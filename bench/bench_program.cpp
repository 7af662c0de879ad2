// The whole program (start-up, front end, core object and every worker) under an X display,
// measured in two phases of one run:
//   idle: no sonar connected, 10 s: CPU of the worker threads together, of the GUI thread, the
//         render threads and the whole process; the reference is a thread that keeps one core
//         busy, measured the same way, so the figures read as fractions of one core.
//   live: the simulated sonar streams 4000-bin frames at 1000 frames/s to the program's data
//         port for 10 s: frames lost between sonar and point store, and the GUI thread's event
//         latency beside the same latency measured while idle.
// Run under xvfb-run (the 3D view draws with Mesa's software OpenGL).
#include "app/InformationCenter.h"
#include "app/Startup.h"
#include "processClass/PointCloudCache.h"
#include "support/SonarFrameBuilder.h"
#include "support/SonarStreamer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QQuickWindow>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double phaseSeconds = 10.0;
constexpr double liveRate = 1000.0;

// CPU time of one thread of this process, in seconds, through the kernel's per-thread clock.
double threadCpu(pid_t tid)
{
    const clockid_t clock = clockid_t((~unsigned(tid) << 3) | 6);
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0)
        return 0;
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

QString threadName(pid_t tid)
{
    QFile f(QStringLiteral("/proc/self/task/%1/comm").arg(tid));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(f.readAll()).trimmed();
}

enum class Kind { Gui, Render, Bench, Worker };

// The program's workers are named after their classes; Qt names its threads; Mesa names its
// rasterisers and leaves its other helpers with the process's name. The benchmark's own
// threads (the latency probe and the simulated sonar) are not the program's.
Kind kindOf(pid_t tid, const QString &name, const QString &processName)
{
    if (tid == getpid())
        return Kind::Gui;
    if (name.startsWith(QLatin1String("QSGRenderThread"))
        || name.startsWith(QLatin1String("llvmpipe")) || name == processName)
        return Kind::Render;
    if (name == QLatin1String("latency-probe") || name == QLatin1String("SonarStreamer"))
        return Kind::Bench;
    return Kind::Worker;
}

using CpuByThread = std::map<pid_t, double>;

CpuByThread sampleThreads()
{
    CpuByThread cpu;
    const QStringList tasks =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &t : tasks) {
        const pid_t tid = pid_t(t.toInt());
        cpu[tid] = threadCpu(tid);
    }
    return cpu;
}

double processCpu()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct CpuShare
{
    double gui = 0, render = 0, workers = 0, bench = 0, process = 0;
    QStringList busiestWorkers; // "name share%", those above 0.01 %
};

CpuShare shareBetween(const CpuByThread &before, const CpuByThread &after, double processBefore,
                      double processAfter, double seconds)
{
    const QString processName = threadName(getpid());
    CpuShare s;
    for (const auto &[tid, end] : after) {
        const auto b = before.find(tid);
        const double used = (end - (b == before.end() ? 0.0 : b->second)) / seconds;
        const QString name = threadName(tid);
        switch (kindOf(tid, name, processName)) {
        case Kind::Gui:
            s.gui += used;
            break;
        case Kind::Render:
            s.render += used;
            break;
        case Kind::Bench:
            s.bench += used;
            break;
        case Kind::Worker:
            s.workers += used;
            if (used >= 0.0001)
                s.busiestWorkers << QStringLiteral("%1 %2%").arg(name).arg(used * 100, 0, 'f', 2);
            break;
        }
    }
    s.process = (processAfter - processBefore) / seconds;
    return s;
}

// A thread that keeps one core busy for a second, measured with the same clock.
double busyCoreReference()
{
    std::atomic<double> share{0};
    std::thread spin([&share] {
        const pid_t tid = pid_t(gettid());
        const double cpu0 = threadCpu(tid);
        const auto t0 = Clock::now();
        volatile unsigned long x = 0;
        while (Clock::now() - t0 < std::chrono::seconds(1))
            x = x + 1;
        share = (threadCpu(tid) - cpu0) / std::chrono::duration<double>(Clock::now() - t0).count();
    });
    spin.join();
    return share.load();
}

// Delays of events posted to the GUI thread every 5 ms from a thread of its own.
class LatencyProbe
{
public:
    explicit LatencyProbe(QObject *guiObject) : m_gui(guiObject) {}
    ~LatencyProbe() { stop(); }

    void start()
    {
        m_running = true;
        m_thread = std::thread([this] {
            pthread_setname_np(pthread_self(), "latency-probe");
            while (m_running) {
                const auto sent = Clock::now();
                QMetaObject::invokeMethod(
                    m_gui,
                    [this, sent] {
                        m_delaysMs.push_back(
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
        if (m_thread.joinable())
            m_thread.join();
    }
    // GUI thread.
    std::vector<double> takeDelays()
    {
        std::vector<double> d;
        d.swap(m_delaysMs);
        std::sort(d.begin(), d.end());
        return d;
    }

private:
    QObject *m_gui;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    std::vector<double> m_delaysMs;
};

double percentile(const std::vector<double> &sorted, double p)
{
    if (sorted.empty())
        return 0;
    return sorted[std::min(sorted.size() - 1, std::size_t(p * double(sorted.size())))];
}

quint32 storedPoints()
{
    quint32 count = 0;
    PointCloudCache::instance().readPoints(&count, nullptr);
    return count;
}

void printCpu(const char *phase, const CpuShare &s, double core)
{
    std::printf("%s, share of one core (reference: a spinning thread reads %.1f%%):\n", phase,
                core * 100);
    std::printf("  worker threads together    %6.2f%%  (ratio to the spinning core %.4f): %s\n",
                s.workers * 100, s.workers / core,
                qPrintable(s.busiestWorkers.join(QStringLiteral(", "))));
    std::printf("  GUI thread                 %6.2f%%\n", s.gui * 100);
    std::printf("  render threads (Qt, Mesa)  %6.2f%%\n", s.render * 100);
    std::printf("  whole process              %6.2f%%  (of which the benchmark's own probe and "
                "sonar %.2f%%)\n",
                s.process * 100, s.bench * 100);
}

void printLatency(const char *phase, const std::vector<double> &d)
{
    std::printf(
        "  GUI event latency %-5s: median %6.2f ms, 99%% %6.2f ms, max %6.2f ms over %zu events\n",
        phase, percentile(d, 0.5), percentile(d, 0.99), d.empty() ? 0.0 : d.back(), d.size());
}

// Runs a function after the given seconds of event loop.
void after(QObject *context, double seconds, const std::function<void()> &f)
{
    QTimer::singleShot(int(seconds * 1000), context, f);
}

} // namespace

int main(int argc, char *argv[])
{
    int result = 1;
    const int code = runKorvessa(
        argc, argv, QUrl(QStringLiteral("qrc:/qmlsource/main.qml")), [&result](QObject *root) {
            auto *window = qobject_cast<QQuickWindow *>(root);
            auto *hub =
                root->findChild<InformationCenter *>(QStringLiteral("c_cppInformationCenter"));
            auto *probe = new LatencyProbe(window);
            auto *streamer = new SonarStreamer;
            const double core = busyCoreReference();

            // Let start-up settle, then measure the idle phase.
            after(window, 2.0, [=, &result] {
                const CpuByThread idle0 = sampleThreads();
                const double process0 = processCpu();
                probe->start();
                after(window, phaseSeconds, [=, &result] {
                    const CpuShare idle =
                        shareBetween(idle0, sampleThreads(), process0, processCpu(), phaseSeconds);
                    const std::vector<double> idleDelays = probe->takeDelays();
                    printCpu("idle, no sonar connected, 10 s", idle, core);
                    printLatency("idle", idleDelays);
                    const bool idleOk = idle.workers < 0.02;

                    // A sonar at 1000 frames/s stamps a work cycle of 0.001 s: a picture every 20 frames.
                    packageInfo head = SimSonar::defaultHeader();
                    head.workCycle = float(1.0 / liveRate);
                    streamer->setHeader(head);
                    streamer->setEchoes({{0, 1200, 20000, 3}, {1, 3000, 25000, 4}}, 300);
                    streamer->setFrameRate(liveRate);
                    const quint16 port = hub->hostUdpPort().toUShort();
                    streamer->setDestination(Ipv4Endpoint{0x7f000001, port});
                    const quint32 points0 = storedPoints();
                    const CpuByThread live0 = sampleThreads();
                    const double liveProcess0 = processCpu();
                    streamer->setFrameLimit(quint64(liveRate * phaseSeconds));
                    streamer->start();
                    after(window, phaseSeconds + 2.0, [=, &result] {
                        const CpuShare live = shareBetween(live0, sampleThreads(), liveProcess0,
                                                           processCpu(), phaseSeconds + 2.0);
                        streamer->stop();
                        probe->stop();
                        const std::vector<double> liveDelays = probe->takeDelays();
                        const quint64 sent = streamer->framesSent();
                        const quint64 stored = (storedPoints() - points0) / 2;
                        std::printf(
                            "live, %.0f frames/s of 4000-bin frames to port %u for %.0f s:\n",
                            liveRate, unsigned(port), phaseSeconds);
                        std::printf("  frames sent %llu, frames processed %llu, lost %lld\n",
                                    (unsigned long long)sent, (unsigned long long)stored,
                                    (long long)sent - (long long)stored);
                        printLatency("live", liveDelays);
                        printLatency("idle", idleDelays);
                        std::printf("  ratio live/idle: median %.2f, 99%% %.2f\n",
                                    percentile(liveDelays, 0.5)
                                        / std::max(1e-6, percentile(idleDelays, 0.5)),
                                    percentile(liveDelays, 0.99)
                                        / std::max(1e-6, percentile(idleDelays, 0.99)));
                        printCpu("live, 12 s from the stream's start", live, core);
                        const bool liveOk =
                            sent == stored && sent > 0 && percentile(liveDelays, 0.99) < 50.0;
                        std::printf("targets: idle workers under 2%% of a core: %s; live: no frame "
                                    "lost and GUI latency (99%%) under 50 ms: %s\n",
                                    idleOk ? "met" : "NOT MET", liveOk ? "met" : "NOT MET");
                        std::fflush(stdout);
                        result = idleOk && liveOk ? 0 : 1;
                        delete streamer;
                        delete probe;
                        QCoreApplication::quit();
                    });
                });
            });
        });
    return code != 0 ? code : result;
}
