// Loopback throughput of the data path's front: the simulated sonar streams full 1016-byte
// packets to a UdpReceiver, which pushes them into a 50000-slot PacketRing that a reader-A
// thread drains, as the processing loop does. For rising packet rates it reports packets sent,
// received and lost, and the highest rate held with no loss for the whole hold time.
//
//   bench_udp_receive [--quick] [--hold SECONDS] [--rates 10000,50000,...]
//
// Reference: the required 50000 packets/s (about ten times the fastest realistic sonar
// stream), and at the first rate that loses packets, a bare receive loop on a plain socket
// (no zero fill, no ring) measured the same way, which tells the receiver's own cost apart
// from the kernel's. Loss counters of the kernel are per network namespace; for clean figures
// run it in one of its own:  unshare -n sh -c 'ip link set lo up && exec bench_udp_receive'

#include "netClass/BsdSocket.h"
#include "processClass/PackageInfo.h"
#include "processClass/PacketRing.h"
#include "processClass/UdpReceiver.h"
#include "support/SonarFrameBuilder.h"
#include "support/SonarStreamer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr quint32 loopback = 0x7f000001;
constexpr int packetsPerFrame = 20; // 3800 bins of 190 rows: every packet a full 1016 bytes
constexpr double requiredRate = 50000;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// The kernel's count of UDP datagrams dropped because a socket's receive buffer was full.
qint64 udpRcvbufErrors()
{
    QFile f("/proc/net/snmp");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].startsWith("Udp:") || !lines[i + 1].startsWith("Udp:"))
            continue;
        const QList<QByteArray> names = lines[i].simplified().split(' ');
        const QList<QByteArray> values = lines[i + 1].simplified().split(' ');
        const int at = names.indexOf("RcvbufErrors");
        return at >= 0 && at < values.size() ? values[at].toLongLong() : -1;
    }
    return -1;
}

QByteArray readProc(const char *path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray("?");
}

// Drains reader A like the processing loop and checks the stream order on the way.
struct ReaderA
{
    PacketRing *m_ring = nullptr;
    std::atomic<bool> m_running{true};
    std::atomic<quint64> m_delivered{0};
    std::atomic<quint64> m_outOfOrder{0};
    std::thread m_thread;

    void start()
    {
        m_thread = std::thread([this] {
            std::vector<unsigned char> buf(m_ring->slotSize());
            qint64 last = -1;
            while (m_running.load()) {
                if (!m_ring->pop(buf.data())) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                    continue;
                }
                packageInfo h;
                std::memcpy(&h, buf.data(), sizeof h);
                const qint64 index = qint64(h.frameSerialNum) * packetsPerFrame + h.packSerialNum;
                if (index <= last)
                    ++m_outOfOrder;
                last = index;
                ++m_delivered;
            }
        });
    }
    void finish()
    {
        m_running.store(false);
        m_thread.join();
    }
};

struct Step
{
    double target = 0;
    double achieved = 0; // send rate actually reached
    quint64 sent = 0;
    quint64 received = 0;  // pushed into the ring (or counted by the bare loop)
    quint64 delivered = 0; // taken by reader A
    quint64 ringLost = 0;
    qint64 kernelDrops = 0;
    bool clean() const { return sent > 0 && delivered == sent && ringLost == 0; }
};

// Waits until the count stops moving (the receiver has emptied the socket).
template<typename Count>
void settle(Count count)
{
    quint64 before = count();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const quint64 now = count();
        if (now == before)
            return;
        before = now;
    }
}

void stream(SonarStreamer &sim, double rate, double holdSeconds, Step *step)
{
    sim.setFrameRate(rate / packetsPerFrame);
    const quint64 sent0 = sim.datagramsSent();
    const Clock::time_point t0 = Clock::now();
    sim.start();
    std::this_thread::sleep_for(std::chrono::duration<double>(holdSeconds));
    sim.stop();
    const double elapsed = secondsSince(t0);
    step->target = rate;
    step->sent = sim.datagramsSent() - sent0;
    step->achieved = double(step->sent) / elapsed;
}

Step runReceiverStep(SonarStreamer &sim, PacketRing &ring, ReaderA &reader, double rate,
                     double hold)
{
    Step s;
    const quint64 pushed0 = ring.pushedPackets();
    const quint64 delivered0 = reader.m_delivered.load();
    const quint64 lost0 = ring.lostPackets();
    const qint64 drops0 = udpRcvbufErrors();
    stream(sim, rate, hold, &s);
    settle([&] { return ring.pushedPackets(); });
    settle([&] { return reader.m_delivered.load(); });
    s.received = ring.pushedPackets() - pushed0;
    s.delivered = reader.m_delivered.load() - delivered0;
    s.ringLost = ring.lostPackets() - lost0;
    s.kernelDrops = udpRcvbufErrors() - drops0;
    return s;
}

// The reference: the same stream into a bare socket with the same receive buffer and
// time-out, counted and thrown away.
Step runBareStep(SonarStreamer &sim, double rate, double hold)
{
    BsdSocket sock = BsdSocket::udp();
    sock.setReceiveBuffer(10485760);
    sock.setReceiveTimeout(50);
    sock.bind(Ipv4Endpoint{loopback, 0});
    Ipv4Endpoint local;
    sock.localEndpoint(&local);
    sim.setDestination(local);
    std::atomic<bool> running{true};
    std::atomic<quint64> count{0};
    std::thread rx([&] {
        std::vector<unsigned char> buf(packetSize);
        while (running.load())
            if (sock.receiveFrom(buf.data(), buf.size()).ok())
                ++count;
    });
    Step s;
    const qint64 drops0 = udpRcvbufErrors();
    stream(sim, rate, hold, &s);
    settle([&] { return count.load(); });
    running.store(false);
    rx.join();
    s.received = s.delivered = count.load();
    s.kernelDrops = udpRcvbufErrors() - drops0;
    return s;
}

void printStep(const char *what, const Step &s)
{
    std::printf("%-9s %9.0f %11.0f %10llu %10llu %10llu %9lld %8lld  %s\n", what, s.target,
                s.achieved, (unsigned long long)s.sent, (unsigned long long)s.received,
                (unsigned long long)s.delivered, (long long)(s.sent - s.delivered),
                (long long)s.kernelDrops, s.clean() ? "no loss" : "LOSS");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    packetSize = 1016;

    QCommandLineParser parser;
    parser.setApplicationDescription("UDP receive throughput into the packet ring on loopback.");
    parser.addHelpOption();
    const QCommandLineOption quick("quick", "Hold each rate for 2 s instead of 10 s.");
    const QCommandLineOption holdOpt("hold", "Seconds to hold each rate.", "seconds", "10");
    const QCommandLineOption ratesOpt("rates", "Packet rates to try, rising.", "list",
                                      "10000,25000,50000,75000,100000,150000,200000,300000");
    parser.addOptions({quick, holdOpt, ratesOpt});
    parser.process(app);
    const double hold = parser.isSet(quick) ? 2.0 : parser.value(holdOpt).toDouble();
    QList<double> rates;
    for (const QString &r : parser.value(ratesOpt).split(','))
        rates << r.toDouble();

    PacketRing *ring = new PacketRing(packetSize, 50000);
    UdpReceiver receiver(&ring, "127.0.0.1");
    std::atomic<int> port{0};
    QObject::connect(
        &receiver, &UdpReceiver::sig_rSonarDataPort, &receiver,
        [&](const QString &p) { port.store(p.toInt()); }, Qt::DirectConnection);
    receiver.start();
    const Clock::time_point waitFrom = Clock::now();
    while (port.load() == 0 && secondsSince(waitFrom) < 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (port.load() == 0) {
        std::fprintf(stderr, "the receiver reported no port\n");
        return 1;
    }

    BsdSocket probe = BsdSocket::udp();
    const int granted = probe.setReceiveBuffer(10485760);
    std::printf(
        "cores %u, net.core.rmem_max %s, SO_RCVBUF asked 10485760, granted %d, "
        "receiver on 127.0.0.1:%d, hold %.0f s per rate, %d packets of 1016 bytes per frame\n",
        std::thread::hardware_concurrency(), readProc("/proc/sys/net/core/rmem_max").constData(),
        granted, port.load(), hold, packetsPerFrame);
    std::printf("%-9s %9s %11s %10s %10s %10s %9s %8s\n", "", "rate/s", "achieved/s", "sent",
                "received", "reader A", "lost", "kernel");

    SonarStreamer sim;
    packageInfo head = SimSonar::defaultHeader();
    head.dataHeight = 190 * packetsPerFrame;
    sim.setHeader(head);
    sim.setEchoes({{0, 1000, 20000, 4}, {1, 2500, 15000, 4}}, 100);
    sim.setDestination(Ipv4Endpoint{loopback, quint16(port.load())});

    ReaderA reader;
    reader.m_ring = ring;
    reader.start();

    // A rate counts as held when nothing was lost and the sender really reached it; once the
    // sender falls short, higher targets measure only the sender, so the climb ends there.
    double held = 0;
    Step last;
    bool lossy = false;
    bool senderLimited = false;
    for (double rate : rates) {
        last = runReceiverStep(sim, *ring, reader, rate, hold);
        printStep("receiver", last);
        if (!last.clean()) {
            lossy = true;
            break;
        }
        senderLimited = last.achieved < 0.98 * last.target;
        held = senderLimited ? std::max(held, last.achieved) : rate;
        if (senderLimited)
            break;
    }
    reader.finish();
    receiver.stop();

    // The reference, at the last rate tried.
    const Step bare = runBareStep(sim, last.target, hold);
    printStep("bare", bare);

    std::printf("\nhighest rate held for %.0f s with no loss: %.0f packets/s = %.2f x the required "
                "%.0f packets/s (%s)\n",
                hold, held, held / requiredRate, requiredRate,
                held >= requiredRate ? "PASS" : "FAIL");
    const double rxShare = last.sent ? double(last.delivered) / double(last.sent) : 0.0;
    const double bareShare = bare.sent ? double(bare.delivered) / double(bare.sent) : 0.0;
    std::printf("at %.0f packets/s: share of sent packets reaching reader A %.6f, reaching the "
                "bare receive loop %.6f: ratio %.4f\n",
                last.target, rxShare, bareShare, bareShare > 0 ? rxShare / bareShare : 0.0);
    std::printf("reader A out-of-order packets: %llu\n",
                (unsigned long long)reader.m_outOfOrder.load());
    std::printf("limit: ");
    if (senderLimited || last.achieved < 0.98 * last.target)
        std::printf("the sender reached only %.0f of %.0f packets/s (one core pacing sendto; on "
                    "loopback each sendto also does the kernel's delivery into the receiving "
                    "socket); the receiver kept up with all of it. ",
                    last.achieved, last.target);
    if (lossy) {
        if (last.kernelDrops > 0)
            std::printf("the socket receive buffer overflowed (%lld drops counted by the kernel): "
                        "the receiver thread was not scheduled often enough to empty a %d-byte "
                        "buffer. ",
                        (long long)last.kernelDrops, granted);
        if (last.ringLost > 0)
            std::printf("reader A fell a whole ring behind (%llu lost in the ring). ",
                        (unsigned long long)last.ringLost);
        std::printf("The bare receive loop %s at the same rate.",
                    bare.clean()
                        ? "held it, so the receiver's own work per packet is the limit"
                        : "lost packets too, so the kernel path and scheduling are the limit");
    }
    if (!lossy && !senderLimited)
        std::printf("none reached within the rates tried.");
    std::printf("\n");
    std::printf("operator tuning: the kernel caps SO_RCVBUF at net.core.rmem_max (now %s); "
                "`sysctl -w net.core.rmem_max=10485760` lets the receiver get its full 10 MiB "
                "buffer and absorb longer scheduling stalls; keep the machine's cores from being "
                "saturated by other work.\n",
                readProc("/proc/sys/net/core/rmem_max").constData());

    delete ring;
    return held >= requiredRate ? 0 : 1;
}
