// Recording end to end: packets pushed into a 50000-slot packet ring at 50000 packets/s for
// 10 s (frames of 22 full 1016-byte packets, as the simulated sonar sends 4000-bin frames), a
// recorder taking them as reader B and writing whole frames to a recording on the local disk.
// Figures: records on disk against packets pushed, packets lost to the ring, and how long the
// recorder needed after the last push to have everything on disk (including an fsync).
//
//   bench_recording [DIRECTORY] [--seconds S] [--rate PACKETS_PER_S]
//
// DIRECTORY (default: the current directory) must be on the local disk; the recordings are
// deleted afterwards. Reference, in the same run: the recording loop paced literally (one 1 ms
// sleep every ten passes, a packet taken or not), on the same ring, writer and stream.
#include "app/InformationCenter.h"
#include "processClass/FileSave.h"
#include "processClass/PacketRing.h"
#include "processClass/RecordingFile.h"
#include "processClass/RecordingWriter.h"
#include "processClass/WhileThread.h"
#include "support/SonarFrameBuilder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// The stream: 200 frames of 22 packets, sent round and round with rising serials.
struct Stream
{
    std::vector<QByteArray> m_packets;
    int m_perFrame = 0;

    Stream()
    {
        packageInfo head = SimSonar::defaultHeader();
        const auto sample = SimSonar::echoSamples({{0, 1200, 20000, 3}, {1, 3000, 25000, 4}}, 300);
        const QVector<QByteArray> frame = SimSonar::buildFrame(head, sample);
        m_perFrame = frame.size();
        for (const QByteArray &p : frame) {
            QByteArray padded = p;
            padded.resize(packetSize, '\0');
            m_packets.push_back(padded);
        }
    }
    // Pushes rate packets/s for seconds, in 1 ms steps; returns the packets pushed.
    quint64 push(PacketRing &ring, double rate, double seconds) const
    {
        const quint64 total = quint64(rate * seconds);
        const auto start = Clock::now();
        quint64 sent = 0;
        QByteArray packet;
        while (sent < total) {
            const quint64 due = std::min<quint64>(total, quint64(secondsSince(start) * rate) + 1);
            for (; sent < due; ++sent) {
                packet = m_packets[std::size_t(sent % quint64(m_perFrame))];
                auto *head = reinterpret_cast<packageInfo *>(packet.data());
                head->frameSerialNum = quint32(sent / quint64(m_perFrame));
                ring.push(packet.constData(), packetSize);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return sent;
    }
};

// The recording loop as first written: one 1 ms sleep after every ten passes.
class LiteralRecorder : public WhileThread
{
public:
    LiteralRecorder(PacketRing &ring, const QString &path) : m_ring(ring), m_writer(packetSize)
    {
        m_writer.open(path);
        m_ring.skipRecord();
    }
    ~LiteralRecorder() override { stop(); }

protected:
    void run() override
    {
        std::vector<uchar> packet(packetSize);
        int passes = 0;
        while (isRunning()) {
            if (m_ring.hasRecordData() && m_ring.popRecord(packet.data())) {
                RecordingFile::stamp(packet.data(), 0.1f, 1.4f);
                m_writer.addRecord(packet.data());
            }
            if (++passes == 10) {
                passes = 0;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        m_writer.close();
    }

private:
    PacketRing &m_ring;
    RecordingWriter m_writer;
};

struct Result
{
    quint64 pushed = 0;
    quint64 lost = 0;
    quint64 onDisk = 0; // records in all parts
    double drain = 0;   // s from the last push until the recorder had taken every packet
    double sync = 0;    // s for the fsync of the parts afterwards
    bool drained = false;
};

quint64 recordsIn(const QString &first, double *syncSeconds)
{
    quint64 bytes = 0;
    const auto start = Clock::now();
    for (int i = 0;; ++i) {
        const QString path = RecordingFile::partPath(first, i);
        if (!QFile::exists(path))
            break;
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
        bytes += quint64(QFileInfo(path).size());
        QFile::remove(path);
    }
    *syncSeconds = secondsSince(start);
    return bytes / packetSize;
}

Result measure(const Stream &stream, double rate, double seconds, const QString &first,
               const std::function<void(PacketRing &)> &begin, const std::function<void()> &end)
{
    PacketRing ring(packetSize, 50000);
    begin(ring);
    Result r;
    r.pushed = stream.push(ring, rate, seconds);
    const auto pushed = Clock::now();
    while (ring.hasRecordData() && secondsSince(pushed) < 30)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    r.drained = !ring.hasRecordData();
    r.drain = secondsSince(pushed);
    end();
    r.lost = ring.lostRecordPackets();
    r.onDisk = recordsIn(first, &r.sync);
    return r;
}

void print(const char *name, const Result &r, double seconds, int perFrame)
{
    // The frame in progress at the stop is dropped by design.
    const quint64 expected = r.pushed - r.pushed % quint64(perFrame);
    std::printf("  %-34s %8llu pushed, %8llu on disk (%6.2f%%), %7llu lost to the ring, "
                "%7.0f records/s kept; drained %s %.3f s after the last push, fsync %.3f s\n",
                name, (unsigned long long)r.pushed, (unsigned long long)r.onDisk,
                100.0 * double(r.onDisk) / double(expected), (unsigned long long)r.lost,
                double(r.onDisk) / seconds, r.drained ? "in" : "NOT in", r.drain, r.sync);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("directory"),
                                 QStringLiteral("where the recordings go"));
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("push time"), QStringLiteral("s"),
                      QStringLiteral("10")});
    parser.addOption({QStringLiteral("rate"), QStringLiteral("packets per second"),
                      QStringLiteral("n"), QStringLiteral("50000")});
    parser.addHelpOption();
    parser.process(app);
    const double seconds = parser.value(QStringLiteral("seconds")).toDouble();
    const double rate = parser.value(QStringLiteral("rate")).toDouble();
    const QString base = parser.positionalArguments().value(0, QDir::currentPath());
    QTemporaryDir dir(QDir(base).filePath(QStringLiteral("bench-recording-XXXXXX")));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a directory in %s\n", qPrintable(base));
        return 2;
    }

    const Stream stream;
    std::printf("recording %.0f packets/s of %d bytes (frames of %d packets) for %.0f s into %s\n",
                rate, int(packetSize), stream.m_perFrame, seconds, qPrintable(dir.path()));

    const QString fastFile = dir.filePath(QStringLiteral("fast.DB"));
    InformationCenter *center = new InformationCenter;
    PacketRing *ringPointer = nullptr;
    FileSave save(&ringPointer, &center);
    const Result fast = measure(
        stream, rate, seconds, fastFile,
        [&](PacketRing &ring) {
            ringPointer = &ring;
            save.onSaveFile(QUrl::fromLocalFile(fastFile).toString());
        },
        [&] { save.onStopSaveFile(); });

    const QString literalFile = dir.filePath(QStringLiteral("literal.DB"));
    std::unique_ptr<LiteralRecorder> literal;
    const Result slow = measure(
        stream, rate, seconds, literalFile,
        [&](PacketRing &ring) {
            literal = std::make_unique<LiteralRecorder>(ring, literalFile);
            literal->start();
        },
        [&] { literal->stop(); });

    print("FileSave (sleeps only when idle):", fast, seconds, stream.m_perFrame);
    print("literal pacing (1 ms per 10 passes):", slow, seconds, stream.m_perFrame);
    const double ratio = double(fast.onDisk) / double(std::max<quint64>(slow.onDisk, 1));
    std::printf("  records kept: %.1fx the literal pacing\n", ratio);
    const quint64 expected = fast.pushed - fast.pushed % quint64(stream.m_perFrame);
    const bool ok = fast.lost == 0 && fast.drained && fast.onDisk == expected && fast.drain < 0.1;
    std::printf("target (%.0f packets/s for %.0f s, nothing lost, all on disk within 0.1 s of the "
                "last push): %s\n",
                rate, seconds, ok ? "met" : "NOT MET");
    delete center;
    return ok ? 0 : 1;
}
