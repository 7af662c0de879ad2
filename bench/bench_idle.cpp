// What the workers cost while nothing arrives: the process's CPU time over two seconds with
// one idle worker running, against the same two seconds with none (the reference, measured in
// the same run). An idle worker waits on a socket, the ring or a time-out; one that spins shows
// here as a large share of a core.
#include "netClass/CmdDialog.h"
#include "netClass/UdpSerchDev.h"
#include "netClass/sdkSocketThread.h"
#include "processClass/PacketRing.h"
#include "processClass/Processing.h"
#include "processClass/UdpReceiver.h"

#include <QApplication>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

constexpr double windowSeconds = 2.0;
// Above this share of one core an idle worker counts as busy.
constexpr double busyShare = 0.10;

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CPU seconds per wall second while start() has run and stop() has not.
double idleShare(const std::function<void()> &start, const std::function<void()> &stop)
{
    start();
    // Let the worker reach its waiting state before the window opens.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double before = processCpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(windowSeconds));
    const double used = processCpuSeconds() - before;
    stop();
    return used / windowSeconds;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The channel holds the progress dialog, a widget.
    QApplication app(argc, argv);

    PacketRing *ring = new PacketRing(packetSize, 50000);
    InformationCenter *center = nullptr;
    CmdDialog *dialog = new CmdDialog;
    Processing processing(&ring, &center);
    UdpReceiver receiver(&ring, QStringLiteral("127.0.0.1"));
    sdkSocketThread noticeReader(&dialog);
    UdpSerchDev discovery;

    const double reference = idleShare([] {}, [] {});
    struct Row
    {
        const char *what;
        WhileThread *worker;
    };
    const Row rows[] = {
        {"Processing, empty ring", &processing},
        {"UdpReceiver, no datagrams", &receiver},
        {"sdkSocketThread, no connection", &noticeReader},
        {"UdpSerchDev, no replies", &discovery},
    };
    std::printf("%-34s %14s %14s\n", "idle for 2 s", "% of a core", "reference %");
    bool quiet = true;
    for (const Row &row : rows) {
        const double share = idleShare([&] { row.worker->start(); }, [&] { row.worker->stop(); });
        const bool busy = share - reference > busyShare;
        quiet = quiet && !busy;
        std::printf("%-34s %14.2f %14.2f   %s\n", row.what, share * 100, reference * 100,
                    busy ? "BUSY" : "idle");
    }
    std::printf("every worker idle (under %.0f%% of a core above the reference): %s\n",
                busyShare * 100, quiet ? "yes" : "NO");
    delete dialog;
    delete ring;
    return quiet ? 0 : 1;
}
