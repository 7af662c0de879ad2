// Replay of recordings, from the request to the end signal. Three runs, each in a process of
// its own so that its peak resident memory is its own:
//   fast     one 500 MiB part of 4000-bin frames at 1 degree steps through FileRead and
//            Processing::processFile, as the program replays it;
//   literal  the same part replayed the literal way: the whole part read into one heap buffer,
//            every packet copied, a new sample array per frame, every sweep accumulated pixel by
//            pixel and its gamma applied with pow, the history copied deeply into the store;
//   memory   a replay that stores 1000 images (a 400 MB part of 4000-bin frames at 10 degree
//            steps), after which the 3D view takes its copy of the store's images.
// The stored images of fast and literal are compared.
//
//   bench_replay [DIRECTORY] [--skip-literal]
//
// DIRECTORY (default: the current directory) gets the generated recordings, which are deleted
// afterwards.
#include "app/InformationCenter.h"
#include "processClass/EchoProcessor.h"
#include "processClass/FrameAssembler.h"
#include "processClass/PointCloudCache.h"
#include "processClass/Processing.h"
#include "processClass/RecordingFile.h"
#include "support/BenchDirectory.h"
#include "support/ReferenceSectorImage.h"
#include "support/ReplayWiring.h"
#include "support/SimRecording.h"

#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cmath>
#include <cstdio>
#include <deque>
#include <fstream>
#include <vector>

namespace {

constexpr double gib = 1024.0 * 1024.0 * 1024.0;

// Peak and current resident memory of this process, in bytes.
qint64 statusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

const SimSonar::SampleFunction &echoes()
{
    static const SimSonar::SampleFunction f =
        SimSonar::echoSamples({{0, 1200, 20000, 3}, {1, 3000, 25000, 4}}, 300);
    return f;
}

SimSonar::ScanPlan plan(float step, int frames)
{
    SimSonar::ScanPlan p;
    p.header.vez25EDirectionAngle = step;
    p.frames = frames;
    p.step = step;
    p.speed = 0.5f;
    p.gamma = 1.4f;
    return p;
}

QByteArray imageDigest(const quint16 *samples, qsizetype count)
{
    return QCryptographicHash::hash(
               QByteArrayView(reinterpret_cast<const char *>(samples), count * 2),
               QCryptographicHash::Sha1)
        .toHex()
        .left(12);
}

// The program's replay: FileRead on its thread, Processing::processFile, the end signal.
int runFast(const QString &path, bool viewCopy)
{
    qint64 rssWithView = -1;
    int images = 0;
    QByteArray digest("-");
    const double seconds = timedReplay(path, 600000, [&](Processing &processing) {
        const std::deque<ImageFrame> &history = processing.history();
        if (viewCopy) {
            std::deque<ImageFrame> view;
            PointCloudCache::instance().copyFrames(&view);
            rssWithView = statusKb("VmRSS:");
        }
        images = int(history.size());
        if (!history.empty())
            digest = imageDigest(history.back().image.constData(), history.back().image.size());
    });
    if (seconds < 0)
        return 1;
    std::printf("RESULT %.3f %lld %lld %d %s\n", seconds, (long long)statusKb("VmHWM:"),
                (long long)rssWithView, images, digest.constData());
    return 0;
}

// The same replay done literally.
int runLiteral(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    std::ifstream file(QFile::encodeName(path).constData(), std::ios::binary);
    file.seekg(0, std::ios::end);
    const quint64 length = quint64(file.tellg());
    file.seekg(0);
    std::unique_ptr<char[]> bytes(new char[length]);
    file.read(bytes.get(), std::streamsize(length));

    FrameAssembler assembler;
    EchoProcessor echo;
    PointCloudCache store;
    std::vector<uchar> packet(packetSize, 0);
    std::vector<uchar> frame(std::size_t(packetSize) * 60, 0);
    std::vector<float> batch;
    std::vector<packageInfo *> sweepHeads;
    std::vector<quint16 *> sweepData;
    std::vector<quint32> sweepBytes;
    std::vector<quint16> acc(640000, 0);
    std::deque<std::vector<quint16>> history;
    double alongTrack = 0;
    float lastDirection = -1;
    float swept = 0;
    for (quint64 offset = 0; length - offset >= packetSize;) {
        std::memcpy(packet.data(), bytes.get() + offset, packetSize);
        offset += packetSize;
        if (assembler.addPacket(packet.data()) != 1)
            continue;
        auto *head = new packageInfo;
        const qint64 got = assembler.takeFrame(head, frame.data(), qint64(frame.size()));
        const quint32 samples = quint32(head->numPerRow) * head->dataHeight;
        auto *copy = new quint16[samples];
        std::memcpy(copy, frame.data(),
                    std::min<std::size_t>(std::size_t(samples) * 2, std::size_t(got)));
        FrameResult result;
        double p[8];
        echo.processFrame(*head, frame.data(), got, result, p);
        alongTrack += head->speed / 1000.0;
        for (int b = 0; b < 2; ++b) {
            batch.insert(batch.end(), {float(alongTrack), float(p[4 * b + 1]), float(p[4 * b + 2]),
                                       float(p[4 * b + 3])});
        }
        if (batch.size() >= 2000) {
            store.appendPoints(batch.data(), quint32(batch.size() / 4));
            batch.clear();
        }
        float d = head->direction - (lastDirection >= 0 ? lastDirection : head->direction);
        if (d < 0)
            d += 360;
        if (d < 30)
            swept += d;
        lastDirection = head->direction;
        sweepHeads.push_back(head);
        sweepData.push_back(copy);
        sweepBytes.push_back(std::min<quint32>(samples * 2, quint32(got)));
        if (swept >= 180) {
            std::vector<const uchar *> data;
            for (const quint16 *samples : sweepData)
                data.push_back(reinterpret_cast<const uchar *>(samples));
            std::vector<const packageInfo *> heads(sweepHeads.begin(), sweepHeads.end());
            reference::generateImage(heads.data(), data.data(), sweepBytes.data(),
                                     int(heads.size()), acc.data());
            std::vector<quint16> image = acc;
            reference::gammaCorrect(image.data(), quint32(image.size()),
                                    double(heads.back()->gamma) - 1.0, 1.0);
            history.push_back(image);
            if (history.size() > 1000)
                history.pop_front();
            for (std::size_t k = 0; k < heads.size(); ++k) {
                delete sweepHeads[k];
                delete[] sweepData[k];
            }
            sweepHeads.clear();
            sweepData.clear();
            sweepBytes.clear();
            swept = 0;
        }
    }
    const std::deque<std::vector<quint16>> storeCopy = history;
    const double seconds = timer.nsecsElapsed() / 1e9;
    for (std::size_t k = 0; k < sweepHeads.size(); ++k) {
        delete sweepHeads[k];
        delete[] sweepData[k];
    }
    const QByteArray digest = storeCopy.empty() ? QByteArray("-")
                                                : imageDigest(storeCopy.back().data(),
                                                              qsizetype(storeCopy.back().size()));
    std::printf("RESULT %.3f %lld -1 %d %s\n", seconds, (long long)statusKb("VmHWM:"),
                int(storeCopy.size()), digest.constData());
    return 0;
}

struct Result
{
    bool ok = false;
    double seconds = 0;
    double peak = 0;
    double withView = 0;
    int images = 0;
    QByteArray digest;
};

Result runChild(const QString &mode, const QString &path)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--run"), mode, path});
    child.waitForFinished(-1);
    Result r;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("RESULT "))
            continue;
        const QList<QByteArray> f = line.split(' ');
        r.ok = f.size() == 6;
        r.seconds = f.value(1).toDouble();
        r.peak = f.value(2).toDouble();
        r.withView = f.value(3).toDouble();
        r.images = f.value(4).toInt();
        r.digest = f.value(5);
    }
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    quietOffscreen();
    QGuiApplication app(argc, argv);
    qRegisterMetaType<packageInfo>("packageInfo");
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("directory"),
                                 QStringLiteral("where the recordings go"));
    parser.addOption(
        {QStringLiteral("run"), QStringLiteral("internal: run one case"), QStringLiteral("mode")});
    parser.addOption(
        {QStringLiteral("skip-literal"), QStringLiteral("leave out the literal replay")});
    parser.addHelpOption();
    parser.process(app);
    if (parser.isSet(QStringLiteral("run"))) {
        const QString mode = parser.value(QStringLiteral("run"));
        const QString path = parser.positionalArguments().value(0);
        return mode == QLatin1String("literal") ? runLiteral(path)
                                                : runFast(path, mode == QLatin1String("memory"));
    }

    const std::unique_ptr<QTemporaryDir> dir =
        benchDirectory(parser.positionalArguments().value(0), QStringLiteral("bench-replay"));
    if (!dir)
        return 2;

    // 500 MiB of 22-packet frames: the size of a recorder's part.
    const qint64 frameBytes =
        qint64(SimSonar::packetsPerFrame(SimSonar::defaultHeader())) * packetSize;
    const int partFrames = int((RecordingFile::partBytes + frameBytes - 1) / frameBytes);
    const QString part = dir->filePath(QStringLiteral("part.DB"));
    SimSonar::appendRecording(part, plan(1.0f, partFrames), echoes());
    std::printf("replay of one part: %d frames of 4000 bins at 1 degree steps, %.1f MiB\n",
                partFrames, QFileInfo(part).size() / 1048576.0);
    const Result fast = runChild(QStringLiteral("fast"), part);
    std::printf("  FileRead + processFile:  %7.2f s, %4d images stored, peak resident %.2f GiB\n",
                fast.seconds, fast.images, fast.peak / gib);
    bool ok = fast.ok && fast.seconds <= 10.0;
    if (!parser.isSet(QStringLiteral("skip-literal"))) {
        const Result literal = runChild(QStringLiteral("literal"), part);
        std::printf(
            "  literal algorithm:       %7.2f s, %4d images stored, peak resident %.2f GiB\n",
            literal.seconds, literal.images, literal.peak / gib);
        const bool same =
            literal.ok && literal.images == fast.images && literal.digest == fast.digest;
        std::printf("  speed-up %.1fx; newest stored image identical: %s\n",
                    literal.seconds / fast.seconds, same ? "yes" : "NO");
        ok = ok && same;
    }
    QFile::remove(part);

    // 1000 images: 18 frames of 10 degrees per half turn.
    const int memoryFrames = 18 * 1001 + 1;
    const QString many = dir->filePath(QStringLiteral("many.DB"));
    SimSonar::appendRecording(many, plan(10.0f, memoryFrames), echoes());
    std::printf("replay storing 1000 images: %d frames of 4000 bins at 10 degree steps, %.1f MiB\n",
                memoryFrames, QFileInfo(many).size() / 1048576.0);
    const Result memory = runChild(QStringLiteral("memory"), many);
    QFile::remove(many);
    std::printf("  %.2f s, %d images kept (%.2f GiB of samples), peak resident %.2f GiB, "
                "%.2f GiB once the 3D view holds its copy\n",
                memory.seconds, memory.images, memory.images * 1280000.0 / gib, memory.peak / gib,
                memory.withView / gib);
    const bool memoryOk =
        memory.ok && memory.images == 1000 && memory.peak < 1.5e9 && memory.withView < 1.5e9;
    std::printf(
        "target (part in at most 10 s%s; 1000 images under 1.5 GB resident): %s\n",
        parser.isSet(QStringLiteral("skip-literal")) ? "" : ", same images as the literal replay",
        ok && memoryOk ? "met" : "NOT MET");
    return ok && memoryOk ? 0 : 1;
}
