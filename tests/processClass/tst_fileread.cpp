#include "app/InformationCenter.h"
#include "processClass/FileRead.h"
#include "processClass/PointCloudCache.h"
#include "processClass/Processing.h"
#include "support/LogCollector.h"
#include "support/ReplayWiring.h"
#include "support/SimRecording.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>

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
    return SimSonar::appendRecording(path, partPlan(frames, speed),
                                     SimSonar::echoSamples({{0, 60, 20000, 2}, {1, 150, 30000, 2}}, 50))
        >= 0;
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
    PacketRing *ring = nullptr;
    InformationCenter *center;
    Processing processing{&ring, &center};
    Processing *processingPtr = &processing;
    FileRead reader{&processingPtr, &center};
    QSignalSpy parts{&processing, &Processing::sigProgressInit};
    QList<InformationCenter::FileStatus> statuses;
    std::atomic<int> ends{0}; // end signals from the reader's thread (not the operator's)

    explicit Reader(QObject *owner) : center(new InformationCenter(owner))
    {
        wireReplay(reader, processing, center);
        QObject::connect(center, &InformationCenter::fileStatusChanged, owner,
                         [this] { statuses << center->m_fileStatus(); }, Qt::DirectConnection);
        QObject::connect(center, &InformationCenter::sigStopReadFile, owner, [this] {
            if (QThread::currentThread() != center->thread())
                ++ends;
        }, Qt::DirectConnection);
    }
    void replay(const QString &path) { emit center->sigReadFile(QUrl::fromLocalFile(path).toString()); }
    // The reader's end signal came and its handlers have run.
    bool ended()
    {
        return QTest::qWaitFor([this] {
            return ends.load() > 0 && center->m_fileStatus() == InformationCenter::FileStatus::None;
        }, 20000);
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
    void mappingFailureEndsTheReplay();
    void listFileNames();
    void stopDuringAMultiPartReplay_data();
    void stopDuringAMultiPartReplay();
    void replayStartsWithoutAFrameLeftHalfFilled();
};

void tst_FileRead::initTestCase()
{
    qRegisterMetaType<packageInfo>("packageInfo");
}

void tst_FileRead::partsOfARecording_data()
{
    QTest::addColumn<QStringList>("files");   // written with speeds 1, 2, 3, ... in this order
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
        const bool empty = QTest::currentDataTag() == QByteArray("empty part in the middle") && i == 1;
        QVERIFY(writePart(dir.filePath(files[i]), empty ? 0 : 30, float(i + 1)));
    }
    Reader r(this);
    r.replay(dir.filePath(chosen));
    QVERIFY(r.ended());
    QCOMPARE(partsFromPoints(), replayed);
    QCOMPARE(r.parts.size(), QTest::currentDataTag() == QByteArray("empty part in the middle") ? 3 : replayed.size());
    QCOMPARE(r.ends.load(), 1);
    QVERIFY(r.statuses.contains(InformationCenter::FileStatus::Reading));
    QCOMPARE(r.statuses.last(), InformationCenter::FileStatus::None);
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
    QCOMPARE(r.parts.size(), 0);
    QVERIFY(!r.statuses.contains(InformationCenter::FileStatus::Reading));
    QCOMPARE(r.ends.load(), 1);
}

void tst_FileRead::mappingFailureEndsTheReplay()
{
    // No address space left for the second part: a warning, and the replay ends there with its
    // end signal.
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer needs address space of its own");
#endif
    QTemporaryDir dir;
    QVERIFY(writePart(dir.filePath(QStringLiteral("dive.DB")), 10, 1));
    QVERIFY(writePart(dir.filePath(QStringLiteral("dive_1.DB")), 60000, 2)); // 61 MB
    QVERIFY(writePart(dir.filePath(QStringLiteral("dive_2.DB")), 10, 3));
    LogCollector log;
    Reader r(this);
    // The limit goes on once the first part is read: its progress report is the moment.
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_AS, &saved) == 0);
    std::atomic<bool> limited{false};
    connect(&r.processing, &Processing::sigProgressInit, &r.processing, [&] {
        if (limited.exchange(true))
            return;
        QFile status(QStringLiteral("/proc/self/status"));
        status.open(QIODevice::ReadOnly);
        qint64 size = 0;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmSize:"))
                size = line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
        rlimit low = saved;
        low.rlim_cur = rlim_t(size + (32 << 20));
        setrlimit(RLIMIT_AS, &low);
    }, Qt::DirectConnection);
    r.replay(dir.filePath(QStringLiteral("dive.DB")));
    const bool ended = r.ended();
    QVERIFY(setrlimit(RLIMIT_AS, &saved) == 0);
    QVERIFY(ended);
    QCOMPARE(r.parts.size(), 1);
    QCOMPARE(partsFromPoints(), QList<int>{1});
    QVERIFY(!log.messages(QtWarningMsg).filter(QStringLiteral("文件读取失败")).isEmpty());
    QCOMPARE(r.ends.load(), 1);
}

void tst_FileRead::listFileNames()
{
    // Regular files, also through links; no directories, no links to directories.
    QTemporaryDir dir;
    QVERIFY(writePart(dir.filePath(QStringLiteral("数据.DB")), 1, 1));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub.DB")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("数据.DB")), dir.filePath(QStringLiteral("link.DB"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("sub.DB")), dir.filePath(QStringLiteral("dirlink.DB"))));
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
    connect(&r.processing, &Processing::sigProgressChanged, &r.processing, [&](double, bool running) {
        if (!running || inside.exchange(true))
            return;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!r.processing.isStopRequested() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }, Qt::DirectConnection);
    r.replay(dir.filePath(QStringLiteral("dive.DB")));
    QTRY_VERIFY_WITH_TIMEOUT(inside.load(), 20000);

    QElapsedTimer timer;
    timer.start();
    if (windowClosed)
        r.reader.stop();
    else
        emit r.center->sigStopReadFile();
    qInfo() << "the stop returned after" << timer.elapsed() << "ms";
    QVERIFY(r.ended());
    QCOMPARE(r.parts.size(), 1);
    QCOMPARE(partsFromPoints(), QList<int>{1});
    quint32 points = 0;
    PointCloudCache::instance().readPoints(&points, nullptr);
    QVERIFY2(points < 2u * frames, qPrintable(QString::number(points)));
    QCOMPARE(r.center->m_fileStatus(), InformationCenter::FileStatus::None);
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
                                      SimSonar::echoSamples({{0, 300, 20000, 2}}, 50)) > 0);
    ScanPlan stale = plan;
    stale.frames = 1;
    stale.firstSerial = 7;
    const QByteArray leftOver = SimSonar::recordingBytes(stale, SimSonar::echoSamples({}, 50)).left(2 * packetSize);

    Reader r(this);
    r.processing.processFile(reinterpret_cast<const uchar *>(leftOver.constData()), quint32(leftOver.size()));
    r.replay(dir.filePath(QStringLiteral("dive.DB")));
    QVERIFY(r.ended());
    quint32 points = 0;
    PointCloudCache::instance().readPoints(&points, nullptr);
    QCOMPARE(points, 2u * 20);
}

QTEST_MAIN(tst_FileRead)
#include "tst_fileread.moc"
