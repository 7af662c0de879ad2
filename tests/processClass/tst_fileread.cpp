#include "app/InformationCenter.h"
#include "processClass/FileRead.h"
#include "processClass/PartReader.h"
#include "processClass/PointCloudCache.h"
#include "processClass/Processing.h"
#include "support/LogCollector.h"
#include "support/ReplayWiring.h"
#include "support/SimRecording.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The replay reader on its thread: which parts of a recording it reads, in which order, the
// file status and the end signal, and how a stop ends a replay.
namespace {

using SimSonar::ScanPlan;

// One-packet frames whose stamped speed tells the parts apart in the points they give.
ScanPlan partPlan(int frames, float speed)
{
    ScanPlan plan;
    plan.header.dataHeight = 190;
    plan.header.maxDist = 1.9f;
    plan.frames = frames;
    plan.step = 10;
    plan.speed = speed;
    return plan;
}

bool writePart(const QString &path, int frames, float speed)
{
    QFile::remove(path);
    return SimSonar::appendRecording(
               path, partPlan(frames, speed),
               SimSonar::echoSamples({{0, 60, 20000, 2}, {1, 150, 30000, 2}}, 50))
           >= 0;
}

// A part under a name in the file system's own bytes, which QFile cannot spell when they are
// no UTF-8.
bool writeRawPart(const QByteArray &path, int frames, float speed)
{
    const QByteArray bytes = SimSonar::recordingBytes(
        partPlan(frames, speed), SimSonar::echoSamples({{0, 60, 20000, 2}}, 50));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool ok =
        fd >= 0 && ::write(fd, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// Sets a file's time of last change to `seconds` before `now`.
bool setChanged(const QString &path, const timespec &now, int seconds)
{
    timespec times[2] = {{0, UTIME_OMIT}, now};
    times[1].tv_sec -= seconds;
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

// The speeds of the parts replayed, in order, read back from the points: each part's
// along-track distance starts again from its first frame's speed / 1000.
QList<int> partsFromPoints()
{
    const std::vector<CloudPoint> points = storedPoints();
    QList<int> speeds;
    float previous = 0;
    for (std::size_t i = 0; i < points.size(); i += 2) {
        const float along = points[i].alongTrack;
        if (along <= previous || speeds.isEmpty())
            speeds << qRound(along * 1000);
        previous = along;
    }
    return speeds;
}

struct Reader
{
    PacketRing *m_ring = nullptr;
    InformationCenter *m_center;
    Processing m_processing{&m_ring, &m_center};
    Processing *m_processingPtr = &m_processing;
    FileRead m_reader{&m_processingPtr, &m_center};
    QSignalSpy m_parts{&m_processing, &Processing::sigProgressInit};
    QList<InformationCenter::FileStatus> m_statuses;
    std::atomic<int> m_ends{0}; // end signals from the reader's thread (not the operator's)

    explicit Reader(QObject *owner) : m_center(new InformationCenter(owner))
    {
        wireReplay(m_reader, m_processing, m_center);
        QObject::connect(
            m_center, &InformationCenter::fileStatusChanged, owner,
            [this] { m_statuses << m_center->m_fileStatus(); }, Qt::DirectConnection);
        QObject::connect(
            m_center, &InformationCenter::sigStopReadFile, owner,
            [this] {
                if (QThread::currentThread() != m_center->thread())
                    ++m_ends;
            },
            Qt::DirectConnection);
    }
    void replay(const QString &path)
    {
        emit m_center->sigReadFile(QUrl::fromLocalFile(path).toString());
    }
    // The reader's end signal came and its handlers have run.
    bool ended()
    {
        return QTest::qWaitFor(
            [this] {
                return m_ends.load() > 0
                       && m_center->m_fileStatus() == InformationCenter::FileStatus::None;
            },
            20000);
    }
};

} // namespace

class tst_FileRead : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void partsOfARecording_data();
    void partsOfARecording();
    void firstPartNotReadable_data();
    void firstPartNotReadable();
    void allocationFailureEndsTheReplay_data();
    void allocationFailureEndsTheReplay();
    void partCutShortDuringItsReplay_data();
    void partCutShortDuringItsReplay();
    void framesAcrossChunksReplayAsFromMemory();
    void namesAsTheFileSystemSpellsThem_data();
    void namesAsTheFileSystemSpellsThem();
    void laterPartsOfAnOlderRecordingAreNotReplayed_data();
    void laterPartsOfAnOlderRecordingAreNotReplayed();
    void listFileNames();
    void stopDuringAMultiPartReplay_data();
    void stopDuringAMultiPartReplay();
    void replayStartsWithoutAFrameLeftHalfFilled();
    void anEarlierReplaysEndLeavesTheNextOneAlone();
};

void tst_FileRead::initTestCase()
{
    qRegisterMetaType<packageInfo>("packageInfo");
}

void tst_FileRead::partsOfARecording_data()
{
    QTest::addColumn<QStringList>("files"); // written with speeds 1, 2, 3, ... in this order
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QList<int>>("replayed"); // the speeds of the parts replayed, in order
    const QStringList gap{"dive.DB", "dive_1.DB", "dive_2.DB", "dive_4.DB"};
    QTest::newRow("up to the first gap") << gap << "dive.DB" << QList<int>{1, 2, 3};
    QTest::newRow("a later part chosen") << gap << "dive_1.DB" << QList<int>{2};
    QTest::newRow("lower-case name on a case-sensitive disk")
        << QStringList{"dive.db", "dive_1.DB"} << "dive.db" << QList<int>{1, 2};
    QTest::newRow("empty part in the middle")
        << QStringList{"dive.DB", "dive_1.DB", "dive_2.DB"} << "dive.DB" << QList<int>{1, 3};
}

void tst_FileRead::partsOfARecording()
{
    QFETCH(QStringList, files);
    QFETCH(QString, chosen);
    QFETCH(QList<int>, replayed);
    QTemporaryDir dir;
    for (int i = 0; i < files.size(); ++i) {
        const bool empty =
            QTest::currentDataTag() == QByteArray("empty part in the middle") && i == 1;
        QVERIFY(writePart(dir.filePath(files[i]), empty ? 0 : 30, float(i + 1)));
    }
    Reader r(this);
    r.replay(dir.filePath(chosen));
    QVERIFY(r.ended());
    QCOMPARE(partsFromPoints(), replayed);
    QCOMPARE(r.m_parts.size(), QTest::currentDataTag() == QByteArray("empty part in the middle")
                                   ? 3
                                   : replayed.size());
    QCOMPARE(r.m_ends.load(), 1);
    QVERIFY(r.m_statuses.contains(InformationCenter::FileStatus::Reading));
    QCOMPARE(r.m_statuses.last(), InformationCenter::FileStatus::None);
}

void tst_FileRead::firstPartNotReadable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("a directory") << "directory";
    QTest::newRow("a pipe") << "pipe"; // opening it would wait for a writer for ever
}

void tst_FileRead::firstPartNotReadable()
{
    // The warning, the end signal, and the file status never Reading; the later part is not read.
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("dive.DB"));
    QVERIFY(writePart(dir.filePath(QStringLiteral("dive_1.DB")), 10, 1));
    if (kind == QLatin1String("directory"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dive.DB")));
    if (kind == QLatin1String("pipe"))
        QVERIFY(mkfifo(QFile::encodeName(first).constData(), 0600) == 0);
    LogCollector log;
    Reader r(this);
    r.replay(first);
    QVERIFY(r.ended());
    QVERIFY(log.messages(QtWarningMsg).contains(QStringLiteral("打开 dive.DB 失败")));
    QCOMPARE(r.m_parts.size(), 0);
    QVERIFY(!r.m_statuses.contains(InformationCenter::FileStatus::Reading));
    QCOMPARE(r.m_ends.load(), 1);
}

void tst_FileRead::allocationFailureEndsTheReplay_data()
{
    QTest::addColumn<int>("bins");   // per beam and frame
    QTest::addColumn<float>("step"); // degrees per frame
    QTest::addColumn<int>("frames"); // of the second part
    // A parked head: the sweep keeps frames of 380000 bytes until it holds 320 MB.
    QTest::newRow("a sweep that outgrows the memory left") << 500 * 190 << 0.f << 120;
    // Half a turn every 19 frames: an image of 1.28 MB each time.
    QTest::newRow("images that outgrow the memory left") << 190 << 10.f << 2000;
}

void tst_FileRead::allocationFailureEndsTheReplay()
{
    // From its second part on the replay has 16 MiB of address space left: it ends with the
    // tip and without the third part, the program lives on, and with the memory back the same
    // recording replays whole.
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer needs address space of its own");
#endif
    QFETCH(int, bins);
    QFETCH(float, step);
    QFETCH(int, frames);
    QTemporaryDir dir;
    const SimSonar::SampleFunction echo =
        SimSonar::echoSamples({{0, double(bins / 2), 20000, 3}}, 50);
    const QStringList names{"dive.DB", "dive_1.DB", "dive_2.DB"};
    const QList<int> framesOf{2, frames, 2};
    for (int i = 0; i < names.size(); ++i) {
        ScanPlan plan = partPlan(framesOf[i], 1);
        plan.header.dataHeight = quint32(bins);
        plan.header.maxDist = float(bins) / 100.0f;
        plan.step = step;
        QVERIFY(SimSonar::appendRecording(dir.filePath(names[i]), plan, echo) > 0);
    }
    QProcess probe;
    // One arena: a thread's allocations then count against the limit at once, instead of
    // first filling the 64 MiB that an arena of its own reserves beforehand.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MALLOC_ARENA_MAX"), QStringLiteral("1"));
    probe.setProcessEnvironment(environment);
    probe.start(QStringLiteral(KORVESSA_REPLAY_MEMORY_PROBE),
                {dir.filePath(names[0]), QStringLiteral("16")});
    QVERIFY(probe.waitForFinished(180000));
    const QString out = QString::fromUtf8(probe.readAllStandardOutput());
    QVERIFY2(probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0,
             qPrintable(out + QString::fromUtf8(probe.readAllStandardError()).right(2000)));
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList tips = lines.filter(QRegularExpression(QStringLiteral("^tip ")));
    QCOMPARE(tips.size(), 1);
    QCOMPARE(tips[0], QStringLiteral("tip 回放数据失败：") + dir.filePath(names[1])
                          + QStringLiteral(" 内存不足"));
    QVERIFY(lines.contains(QStringLiteral("parts 2")));
    QVERIFY(lines.contains(QStringLiteral("again 3")));
}

void tst_FileRead::partCutShortDuringItsReplay_data()
{
    QTest::addColumn<qint64>("cutTo");
    const qint64 chunk = qint64(PartReader::chunkRecords) * packetSize;
    QTest::newRow("emptied") << qint64(0);
    QTest::newRow("to 1 MiB") << qint64(1 << 20);
    QTest::newRow("inside the first record after the first chunk") << chunk + 500;
}

void tst_FileRead::partCutShortDuringItsReplay()
{
    // Another program truncates the first of two parts once its replay has begun: the replay
    // ends with the warning and the tip, the second part is not read, the points replayed so
    // far stay, and the program lives on.
    QFETCH(qint64, cutTo);
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("dive.DB"));
    const int frames = 3 * int(PartReader::chunkRecords);
    QVERIFY(writePart(first, frames, 1));
    QVERIFY(writePart(dir.filePath(QStringLiteral("dive_1.DB")), 10, 2));
    LogCollector log;
    Reader r(this);
    QSignalSpy tips(r.m_center, &InformationCenter::sigTipsCMD);
    std::atomic<bool> cut{false};
    connect(
        &r.m_processing, &Processing::sigProgressChanged, &r.m_processing,
        [&](double, bool running) {
            if (running && !cut.exchange(true))
                QVERIFY(::truncate(QFile::encodeName(first).constData(), off_t(cutTo)) == 0);
        },
        Qt::DirectConnection);
    r.replay(first);
    QVERIFY(r.ended());
    QVERIFY(cut.load());
    QCOMPARE(r.m_parts.size(), 1);
    QCOMPARE(r.m_ends.load(), 1);
    QVERIFY(!log.messages(QtWarningMsg).filter(QStringLiteral("文件读取失败")).isEmpty());
    QTRY_COMPARE(tips.size(), 1);
    QCOMPARE(tips[0][0].toString(),
             QStringLiteral("回放数据失败：") + first + QStringLiteral(" 文件在回放中变短了"));
    const std::vector<CloudPoint> points = storedPoints();
    QVERIFY(!points.empty());
    QVERIFY(points.size() < 2u * frames);
    QCOMPARE(partsFromPoints(), QList<int>{1});
}

void tst_FileRead::framesAcrossChunksReplayAsFromMemory()
{
    // Frames of three records do not fit a chunk evenly, and the part ends in a cut-off
    // record: read from the file, the part gives the points and images it gives from memory.
    ScanPlan plan = partPlan(int(PartReader::chunkRecords), 3);
    plan.header.dataHeight = 3 * 190;
    const QByteArray bytes =
        SimSonar::recordingBytes(
            plan, SimSonar::echoSamples({{0, 300, 20000, 2}, {1, 500, 30000, 2}}, 50))
        + QByteArray(700, '\x07');
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("dive.DB")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    Reader fromMemory(this);
    emit fromMemory.m_reader.sigReadingFile();
    fromMemory.m_processing.processFile(reinterpret_cast<const uchar *>(bytes.constData()),
                                        quint32(bytes.size()));
    const std::vector<CloudPoint> expectedPoints = storedPoints();
    const std::deque<ImageFrame> expectedImages = fromMemory.m_processing.history();
    QCOMPARE(int(expectedPoints.size()), 2 * int(PartReader::chunkRecords));

    Reader fromFile(this);
    QSignalSpy progress(&fromFile.m_processing, &Processing::sigProgressChanged);
    fromFile.replay(file.fileName());
    QVERIFY(fromFile.ended());
    const std::vector<CloudPoint> points = storedPoints();
    QCOMPARE(points.size(), expectedPoints.size());
    QVERIFY(std::memcmp(points.data(), expectedPoints.data(), points.size() * sizeof(CloudPoint))
            == 0);
    const std::deque<ImageFrame> &images = fromFile.m_processing.history();
    QCOMPARE(images.size(), expectedImages.size());
    for (std::size_t i = 0; i < images.size(); ++i)
        QVERIFY(images[i].image == expectedImages[i].image);
    // A report every 100 accepted records, then the end.
    QCOMPARE(progress.size(), 3 * int(PartReader::chunkRecords) / 100 + 1);
}

void tst_FileRead::namesAsTheFileSystemSpellsThem_data()
{
    QTest::addColumn<QByteArray>("folder"); // inside the temporary directory ("" for none)
    QTest::addColumn<QByteArray>("base");   // the recording's parts are base.DB and base_1.DB
    QTest::addColumn<QByteArrayList>("others");
    QTest::addColumn<QString>("chosenAs");
    QTest::addColumn<QList<int>>("replayed");
    const QByteArray latin1("caf\xe9");
    QTest::newRow("name beginning with a colon")
        << QByteArray() << QByteArray(":dive") << QByteArrayList{} << "dialog" << QList<int>{1, 2};
    QTest::newRow("name that is no UTF-8, escaped in the URL")
        << QByteArray() << latin1 << QByteArrayList{} << "escaped" << QList<int>{1, 2};
    // The program's own dialog decodes the name and writes U+FFFD for the byte.
    QTest::newRow("name that is no UTF-8, as the dialog shows it")
        << QByteArray() << latin1 << QByteArrayList{} << "dialog" << QList<int>{1, 2};
    QTest::newRow("folder that is no UTF-8") << QByteArray("Tauchg\xe4nge") << QByteArray("dive")
                                             << QByteArrayList{} << "dialog" << QList<int>{1, 2};
    QTest::newRow("two names that the dialog shows alike")
        << QByteArray() << latin1 << QByteArrayList{"caf\xe8.DB"} << "dialog" << QList<int>{};
}

void tst_FileRead::namesAsTheFileSystemSpellsThem()
{
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, base);
    QFETCH(QByteArrayList, others);
    QFETCH(QString, chosenAs);
    QFETCH(QList<int>, replayed);
    QTemporaryDir dir;
    QByteArray directory = QFile::encodeName(dir.path());
    if (!folder.isEmpty()) {
        directory += '/' + folder;
        QVERIFY(::mkdir(directory.constData(), 0755) == 0);
    }
    const QByteArray first = directory + '/' + base + ".DB";
    QByteArrayList files{first, directory + '/' + base + "_1.DB"};
    for (const QByteArray &other : others)
        files << directory + '/' + other;
    // QTemporaryDir cannot spell these names to remove them.
    const auto removeFiles = qScopeGuard([&] {
        for (const QByteArray &file : files)
            ::unlink(file.constData());
        if (!folder.isEmpty())
            ::rmdir(directory.constData());
    });
    for (int i = 0; i < files.size(); ++i)
        QVERIFY(writeRawPart(files[i], 30, float(i + 1)));
    const QString url = chosenAs == QLatin1String("escaped")
                            ? QString::fromLatin1("file://" + first.toPercentEncoding("/"))
                            : QUrl::fromLocalFile(QFile::decodeName(first)).toString();

    Reader r(this);
    emit r.m_center->sigReadFile(url);
    QVERIFY(r.ended());
    QCOMPARE(partsFromPoints(), replayed);
    QCOMPARE(r.m_parts.size(), replayed.size());
}

void tst_FileRead::laterPartsOfAnOlderRecordingAreNotReplayed_data()
{
    // Parts written with speeds 1, 2, 3 and changed the given number of seconds ago.
    QTest::addColumn<QList<int>>("ages");
    QTest::addColumn<QList<int>>("replayed");
    QTest::newRow("a new recording shorter than the old one")
        << QList<int>{0, 3600, 3600} << QList<int>{1};
    QTest::newRow("a new recording of two parts over an old one of three")
        << QList<int>{60, 0, 3600} << QList<int>{1, 2};
    QTest::newRow("parts written one after the other")
        << QList<int>{60, 30, 0} << QList<int>{1, 2, 3};
    QTest::newRow("changed in the same instant") << QList<int>{60, 60, 60} << QList<int>{1, 2, 3};
}

void tst_FileRead::laterPartsOfAnOlderRecordingAreNotReplayed()
{
    QFETCH(QList<int>, ages);
    QFETCH(QList<int>, replayed);
    QTemporaryDir dir;
    const QStringList names{"dive.DB", "dive_1.DB", "dive_2.DB"};
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    for (int i = 0; i < names.size(); ++i) {
        QVERIFY(writePart(dir.filePath(names[i]), 30, float(i + 1)));
        QVERIFY(setChanged(dir.filePath(names[i]), now, ages[i]));
    }
    Reader r(this);
    r.replay(dir.filePath(names[0]));
    QVERIFY(r.ended());
    QCOMPARE(partsFromPoints(), replayed);
}

void tst_FileRead::listFileNames()
{
    // Regular files, also through links; no directories, no links to directories.
    QTemporaryDir dir;
    QVERIFY(writePart(dir.filePath(QStringLiteral("数据.DB")), 1, 1));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub.DB")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("数据.DB")),
                        dir.filePath(QStringLiteral("link.DB"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("sub.DB")),
                        dir.filePath(QStringLiteral("dirlink.DB"))));
    QList<QByteArray> names = FileRead::listFileNames(dir.path().toUtf8());
    std::sort(names.begin(), names.end());
    QCOMPARE(names, (QList<QByteArray>{"link.DB", QStringLiteral("数据.DB").toUtf8()}));
    QVERIFY(FileRead::listFileNames(dir.filePath(QStringLiteral("none")).toUtf8()).isEmpty());
    QVERIFY(FileRead::listFileNames(dir.filePath(QStringLiteral("link.DB")).toUtf8()).isEmpty());
}

void tst_FileRead::stopDuringAMultiPartReplay_data()
{
    QTest::addColumn<bool>("windowClosed");
    QTest::newRow("operator's stop") << false;
    QTest::newRow("window closed") << true;
}

void tst_FileRead::stopDuringAMultiPartReplay()
{
    // Three parts. At the first progress report of the first part the reader thread holds on
    // until the stop has been asked; the part then ends at its next packet, and the other two
    // are never read.
    QFETCH(bool, windowClosed);
    QTemporaryDir dir;
    const int frames = 3000;
    QVERIFY(writePart(dir.filePath(QStringLiteral("dive.DB")), frames, 1));
    QVERIFY(writePart(dir.filePath(QStringLiteral("dive_1.DB")), frames, 2));
    QVERIFY(writePart(dir.filePath(QStringLiteral("dive_2.DB")), frames, 3));
    Reader r(this);
    std::atomic<bool> inside{false};
    connect(
        &r.m_processing, &Processing::sigProgressChanged, &r.m_processing,
        [&](double, bool running) {
            if (!running || inside.exchange(true))
                return;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!r.m_processing.isStopRequested() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        Qt::DirectConnection);
    r.replay(dir.filePath(QStringLiteral("dive.DB")));
    QTRY_VERIFY_WITH_TIMEOUT(inside.load(), 20000);

    QElapsedTimer timer;
    timer.start();
    if (windowClosed)
        r.m_reader.stop();
    else
        emit r.m_center->sigStopReadFile();
    qInfo() << "the stop returned after" << timer.elapsed() << "ms";
    QVERIFY(r.ended());
    QCOMPARE(r.m_parts.size(), 1);
    QCOMPARE(partsFromPoints(), QList<int>{1});
    quint32 points = 0;
    PointCloudCache::instance().readPoints(&points, nullptr);
    QVERIFY2(points < 2u * frames, qPrintable(QString::number(points)));
    QCOMPARE(r.m_center->m_fileStatus(), InformationCenter::FileStatus::None);
}

void tst_FileRead::replayStartsWithoutAFrameLeftHalfFilled()
{
    // The assembler holds two of the three packets of a frame (a stream that ended); the
    // replay that follows does not finish that frame with its first packet.
    QTemporaryDir dir;
    ScanPlan plan = partPlan(20, 1);
    plan.header.dataHeight = 3 * 190;
    plan.firstSerial = 100;
    QVERIFY(SimSonar::appendRecording(dir.filePath(QStringLiteral("dive.DB")), plan,
                                      SimSonar::echoSamples({{0, 300, 20000, 2}}, 50))
            > 0);
    ScanPlan stale = plan;
    stale.frames = 1;
    stale.firstSerial = 7;
    const QByteArray leftOver =
        SimSonar::recordingBytes(stale, SimSonar::echoSamples({}, 50)).left(2 * packetSize);

    Reader r(this);
    r.m_processing.processFile(reinterpret_cast<const uchar *>(leftOver.constData()),
                               quint32(leftOver.size()));
    r.replay(dir.filePath(QStringLiteral("dive.DB")));
    QVERIFY(r.ended());
    quint32 points = 0;
    PointCloudCache::instance().readPoints(&points, nullptr);
    QCOMPARE(points, 2u * 20);
}

void tst_FileRead::anEarlierReplaysEndLeavesTheNextOneAlone()
{
    // The operator stops a replay and starts the next one at once. The first one's thread ends
    // at its next packet while the second waits for it, so its end arrives during the second:
    // it must stop nothing and leave the file status alone.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dive.DB"));
    QVERIFY(writePart(path, 1800, 1)); // 100 half turns of 10 degree steps
    Reader r(this);
    r.replay(path);
    QVERIFY(r.ended());
    const std::size_t images = r.m_processing.history().size();
    QVERIFY(images >= 90);

    // At its first stored image the armed replay holds on until the stop has been asked.
    std::atomic<bool> armed{false};
    std::atomic<bool> holding{false};
    connect(
        r.m_center, &InformationCenter::updateSchedule, &r.m_processing,
        [&](int) {
            if (!armed.exchange(false))
                return;
            holding = true;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!r.m_processing.isStopRequested() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        Qt::DirectConnection);

    for (int round = 0; round < 20; ++round) {
        const int endsBefore = r.m_ends.load();
        armed = true;
        holding = false;
        r.replay(path);
        QTRY_VERIFY_WITH_TIMEOUT(holding.load(), 20000);
        r.m_statuses.clear();
        emit r.m_center->sigStopReadFile(); // the operator's stop
        r.replay(path);
        // Both threads have sent their end, and the GUI thread has handled what it takes.
        QTRY_VERIFY_WITH_TIMEOUT(r.m_ends.load() > endsBefore + 1
                                     && r.m_center->m_fileStatus()
                                            == InformationCenter::FileStatus::None,
                                 20000);
        QCOMPARE(r.m_processing.history().size(), images);
        using Status = InformationCenter::FileStatus;
        QCOMPARE(r.m_statuses, QList<Status>({Status::None, Status::Reading, Status::None}));
        // Whatever either thread queued has been delivered.
        QCoreApplication::sendPostedEvents();
        QCOMPARE(r.m_ends.load(), endsBefore + 2);
    }
}

QTEST_MAIN(tst_FileRead)
#include "tst_fileread.moc"
