// What a crafted recording costs to replay: 100000 records, each claiming a 65535-packet frame
// (as many bins as the frame buffer holds) and each ending the previous one, so that every one
// is handed over as a frame of 500 packets' worth of which one packet was delivered. Beside
// it, in the same run, a valid recording of the same size (22-packet frames of 4000 bins at
// 1 degree steps), both replayed as the program replays them (FileRead, processFile). The
// crafted head turns as far per megabyte as the valid one (1 degree per 22 records); its
// sweeps still close more often, since a frame counts towards a sweep's byte bound at the size
// it claims, so it stores more sweep images (the counts are printed) and the ratio includes
// what they cost. A third run turns the
// crafted head 1 degree per record: 22 times the sweep images, each drawn and stored as any
// image is; its cost is that of the images, not of the claims.
//
//   bench_claimedframes [DIRECTORY]
//
// DIRECTORY (default: the current directory) gets the two recordings, deleted afterwards.
#include "processClass/Processing.h"
#include "support/BenchDirectory.h"
#include "support/ReplayWiring.h"
#include "support/SimRecording.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>

namespace {

SimSonar::ScanPlan plan(int frames, float step)
{
    SimSonar::ScanPlan p;
    p.header.vez25EDirectionAngle = step;
    p.frames = frames;
    p.step = step;
    p.speed = 0.5f;
    p.gamma = 1.4f;
    return p;
}

struct Run
{
    double seconds = -1;
    int images = 0;
};

Run replay(const QString &path)
{
    Run run;
    run.seconds =
        timedReplay(path, 3600000, [&](Processing &p) { run.images = int(p.history().size()); });
    return run;
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
    parser.addHelpOption();
    parser.process(app);
    const std::unique_ptr<QTemporaryDir> dir =
        benchDirectory(parser.positionalArguments().value(0), QStringLiteral("bench-claimed"));
    if (!dir)
        return 2;

    const int records = 100000;
    const SimSonar::SampleFunction echoes =
        SimSonar::echoSamples({{0, 1200, 20000, 3}, {1, 3000, 25000, 4}}, 300);
    const int framePackets = int(SimSonar::packetsPerFrame(SimSonar::defaultHeader()));
    // Every record's own slice lies somewhere else in the frame; the image reaches 184000 bins.
    auto writeCrafted = [&](const QString &path, float step) {
        SimSonar::ScanPlan claims = plan(records, step);
        claims.header.dataHeight = 65535u * claims.header.rowNumPerPack;
        claims.header.maxDist = 1300;
        SimSonar::appendClaimingRecording(path, claims, 65535, 37, echoes);
        return QFileInfo(path).size() / 1048576.0;
    };
    const QString valid = dir->filePath(QStringLiteral("valid.DB"));
    SimSonar::appendRecording(valid, plan((records + framePackets - 1) / framePackets, 1), echoes);
    const double validMiB = QFileInfo(valid).size() / 1048576.0;
    const Run v = replay(valid);
    QFile::remove(valid);
    const QString crafted = dir->filePath(QStringLiteral("crafted.DB"));
    const double craftedMiB = writeCrafted(crafted, 1.0f / float(framePackets));
    const Run c = replay(crafted);
    QFile::remove(crafted);
    writeCrafted(crafted, 1);
    const Run turning = replay(crafted);
    QFile::remove(crafted);

    std::printf("replay of %d records, FileRead + processFile:\n", records);
    std::printf("  valid, %d-packet frames of 4000 bins, 1 degree per frame, %6.1f MiB:    %7.2f "
                "s, %4d images stored\n",
                framePackets, validMiB, v.seconds, v.images);
    std::printf("  crafted, every record a 65535-packet frame, as far a turn, %6.1f MiB: %7.2f s, "
                "%4d images stored\n",
                craftedMiB, c.seconds, c.images);
    const double ratio = c.seconds / v.seconds;
    const bool met = v.seconds > 0 && c.seconds > 0 && ratio <= 10;
    std::printf("  crafted / valid: %.1fx; target (crafted within 10x the valid recording): %s\n",
                ratio, met ? "met" : "NOT MET");
    std::printf("  crafted, 1 degree per record (22x the images):                %7.2f s, %4d "
                "images stored, "
                "%.1fx the valid recording\n",
                turning.seconds, turning.images, turning.seconds / v.seconds);
    return met ? 0 : 1;
}
