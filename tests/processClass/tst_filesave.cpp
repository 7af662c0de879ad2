#include "app/InformationCenter.h"
#include "processClass/FileSave.h"
#include "processClass/PacketRing.h"
#include "processClass/RecordingFile.h"
#include "support/CoreFrontEnd.h"
#include "support/SilentPrompt.h"
#include "support/SimRecording.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QUrl>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// The recorder on its thread: reader B of a real ring, stamps from the hub, the parts on disk,
// the file status and the operator's tips, and what happens when the disk says no.
namespace {

// A packet of frame `serial` as the sonar sends it (its own speed and gamma inside); its
// packSerialNum carries `mark` so that its place in the file shows.
QByteArray packet(quint32 serial, quint16 mark)
{
    packageInfo head = SimSonar::defaultHeader();
    head.frameSerialNum = serial;
    head.packSerialNum = mark;
    head.speed = 77.0f;
    head.gamma = 3.0f;
    return SimSonar::buildPacket(head, QByteArray(int(packetSize) - int(sizeof head), '\x11'));
}

QString url(const QString &path)
{
    return QUrl::fromLocalFile(path).toString();
}

// The ring, the hub and the recorder, as the program builds them.
struct Recorder
{
    PacketRing *m_ring;
    InformationCenter *m_center;
    FileSave m_save{&m_ring, &m_center};
    QSignalSpy m_tips{m_center, &InformationCenter::sigTipsCMD};
    QSignalSpy m_stops{m_center, &InformationCenter::sigStopSaveFile};
    quint16 m_mark = 0;
    QStringList m_questions; // "title|text" of each question the operator was asked
    std::function<bool()> m_answer = [] { return false; };

    Recorder(QObject *owner, quint16 slotCount = 50000)
        : m_ring(new PacketRing(packetSize, slotCount)), m_center(new InformationCenter(owner))
    {
        OperatorPrompt prompt = silentPrompt();
        prompt.ask = [this](const QString &title, const QString &text) {
            m_questions << title + QLatin1Char('|') + text;
            return m_answer();
        };
        m_save.setPrompt(prompt);
    }
    ~Recorder()
    {
        m_save.stop();
        delete m_ring;
    }
    void push(const QList<quint32> &serials)
    {
        for (quint32 serial : serials)
            m_ring->push(packet(serial, m_mark++).constData(), packetSize);
    }
    // True once the recorder has taken every packet pushed so far.
    bool drained() const { return !m_ring->hasRecordData(); }
    QStringList tipTexts() const
    {
        QStringList out;
        for (const QList<QVariant> &args : m_tips)
            out << args.at(0).toString();
        return out;
    }
};

// What a folder holds: each entry's name, bytes and time of last change.
struct FolderState
{
    QStringList names;
    QList<QByteArray> bytes;
    QList<QDateTime> modified;
    bool operator==(const FolderState &other) const
    {
        return names == other.names && bytes == other.bytes && modified == other.modified;
    }
    // The same without the entries named.
    FolderState without(const QStringList &skipped) const
    {
        FolderState rest;
        for (int i = 0; i < names.size(); ++i) {
            if (skipped.contains(names[i]))
                continue;
            rest.names << names[i];
            rest.bytes << bytes[i];
            rest.modified << modified[i];
        }
        return rest;
    }
};

FolderState stateOf(const QString &folder)
{
    FolderState state;
    for (const QFileInfo &entry : QDir(folder).entryInfoList(
             QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden, QDir::Name)) {
        QFile file(entry.filePath());
        state.names << entry.fileName();
        state.bytes << (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
        state.modified << entry.lastModified();
    }
    return state;
}

// Files that an earlier recording left: the part numbers given (0 the first part), each with
// bytes of its own, changed an hour ago.
bool leaveParts(const QString &first, const QList<int> &indices)
{
    for (int index : indices) {
        QFile file(RecordingFile::partPath(first, index));
        if (!file.open(QIODevice::WriteOnly)
            || file.write(packet(900 + quint32(index), 0)) != packetSize)
            return false;
        if (!file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                              QFileDevice::FileModificationTime))
            return false;
    }
    return true;
}

QList<quint32> serialsIn(const QString &path)
{
    QList<quint32> out;
    for (const auto &r : SimSonar::readRecords(path))
        out << r.frameSerial;
    return out;
}

} // namespace

class tst_FileSave : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recordsWholeStampedFrames_data();
    void recordsWholeStampedFrames();
    void splitsIntoParts();
    void failureEndsTheRecording_data();
    void failureEndsTheRecording();
    void failureTipFollowsTheLanguage();
    void ringOverrunIsReportedOnce_data();
    void ringOverrunIsReportedOnce();
    void asksBeforeReplacingLeftovers_data();
    void asksBeforeReplacingLeftovers();
    void sonarLostWhileAsked_data();
    void sonarLostWhileAsked();
};

void tst_FileSave::initTestCase()
{
    // A write past the file-size limit must fail with EFBIG instead of killing the test.
    std::signal(SIGXFSZ, SIG_IGN);
}

void tst_FileSave::recordsWholeStampedFrames_data()
{
    QTest::addColumn<QList<quint32>>("serials");
    QTest::addColumn<QList<quint32>>("written");
    QTest::newRow("three-packet frames, the last in progress")
        << QList<quint32>{7, 7, 7, 8, 8, 8, 9} << QList<quint32>{7, 7, 7, 8, 8, 8};
    QTest::newRow("stopped before a frame was complete")
        << QList<quint32>{7, 7} << QList<quint32>{};
}

void tst_FileSave::recordsWholeStampedFrames()
{
    QFETCH(QList<quint32>, serials);
    QFETCH(QList<quint32>, written);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("潜水 dive.DB"));
    {
        QFile old(path); // a recording under an existing name replaces it
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
    }
    Recorder rec(this);
    InformationCenter *center = rec.m_center;
    center->setSpeedMove(2.5f);
    center->setTargetGamma(1.25);
    rec.push({1, 1}); // before the recording: not in it

    emit center->sigSaveFile(url(path));
    QCOMPARE(center->m_fileStatus(), InformationCenter::FileStatus::Saving);
    rec.push(serials);
    QTRY_VERIFY_WITH_TIMEOUT(rec.drained(), 10000);
    emit center->sigStopSaveFile();
    QTRY_COMPARE_WITH_TIMEOUT(center->m_fileStatus(), InformationCenter::FileStatus::None, 10000);

    QCOMPARE(QFileInfo(path).size(), qint64(written.size()) * packetSize);
    const auto records = SimSonar::readRecords(path);
    for (std::size_t i = 0; i < records.size(); ++i) {
        QCOMPARE(records[i].frameSerial, written[int(i)]);
        QCOMPARE(records[i].packSerial, quint16(2 + i)); // arrival order
        QCOMPARE(records[i].speed, 2.5f);
        QCOMPARE(records[i].gamma, 1.25f);
    }
    QCOMPARE(rec.tipTexts(),
             (QStringList{QStringLiteral("保存数据：") + path, QStringLiteral("保存数据完成")}));
    QCOMPARE(rec.m_stops.size(), 1);          // only the operator's
    QCOMPARE(rec.m_questions, QStringList()); // no later parts there: nothing to ask
}

void tst_FileSave::splitsIntoParts()
{
    // Lowered part size: X.DB and X_1.DB, no frame divided, and a second recording under
    // another name starts its own parts afresh.
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("X.DB"));
    Recorder rec(this);
    rec.m_save.setPartSizeLimit(4 * quint64(packetSize));
    emit rec.m_center->sigSaveFile(url(first));
    rec.push({1, 1, 1, 2, 2, 2, 3, 3, 3, 4});
    QTRY_VERIFY_WITH_TIMEOUT(rec.drained(), 10000);
    emit rec.m_center->sigStopSaveFile();

    const auto serials = [](const QString &path) {
        QList<quint32> out;
        for (const auto &r : SimSonar::readRecords(path))
            out << r.frameSerial;
        return out;
    };
    QCOMPARE(serials(first), (QList<quint32>{1, 1, 1, 2, 2, 2}));
    QCOMPARE(serials(dir.filePath(QStringLiteral("X_1.DB"))), (QList<quint32>{3, 3, 3}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList{"X.DB", "X_1.DB"}));

    const QString second = dir.filePath(QStringLiteral("Y.DB"));
    emit rec.m_center->sigSaveFile(url(second));
    rec.push({5, 5, 5, 5, 5, 6});
    QTRY_VERIFY_WITH_TIMEOUT(rec.drained(), 10000);
    emit rec.m_center->sigStopSaveFile();
    QCOMPARE(serials(second), (QList<quint32>{5, 5, 5, 5, 5}));
    // The limit was reached after the run of 5, so the next part was begun; it had no whole
    // frame yet when the recording stopped.
    QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("Y_1.DB"))).size(), 0);
}

void tst_FileSave::failureEndsTheRecording_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("wholeFramesKept");
    QTest::newRow("first part cannot be opened") << "missing directory" << -1;
    // Opening a pipe that nobody reads would wait for a reader for ever: on the GUI thread for
    // the first part, on the recorder's thread (which a stop then joins) for a later one.
    QTest::newRow("first part is a pipe nobody reads") << "first part is a pipe" << -1;
    QTest::newRow("next part cannot be opened") << "next part is a directory" << 2;
    QTest::newRow("next part is a pipe nobody reads") << "next part is a pipe" << 2;
    // A regular file there (links followed): the full part before it gives back its last
    // frame, so that a replay ends with it.
    QTest::newRow("next part is a link to a file") << "next part is a link" << 1;
    QTest::newRow("a file appears under the next part's name") << "next part appears" << 1;
    QTest::newRow("disk full") << "file size limit" << 3;
}

void tst_FileSave::failureEndsTheRecording()
{
    QFETCH(QString, failure);
    QFETCH(int, wholeFramesKept);
    QTemporaryDir dir;
    QString first = dir.filePath(QStringLiteral("X.DB"));
    Recorder rec(this);
    InformationCenter *center = rec.m_center;
    if (failure == QLatin1String("missing directory"))
        first = dir.filePath(QStringLiteral("no such dir/X.DB"));
    if (failure == QLatin1String("first part is a pipe"))
        QVERIFY(mkfifo(QFile::encodeName(first).constData(), 0600) == 0);
    if (failure == QLatin1String("next part is a directory"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("X_1.DB")));
    if (failure == QLatin1String("next part is a pipe"))
        QVERIFY(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("X_1.DB"))).constData(), 0600)
                == 0);
    // Another program's file, which nothing here may change.
    QTemporaryDir elsewhere;
    const QString foreign = failure == QLatin1String("next part is a link")
                                ? elsewhere.filePath(QStringLiteral("other.DB"))
                                : dir.filePath(QStringLiteral("X_1.DB"));
    const QByteArray foreignBytes = packet(201, 0);
    const auto writeForeign = [&] {
        QFile file(foreign);
        return file.open(QIODevice::WriteOnly) && file.write(foreignBytes) == foreignBytes.size()
               && file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                   QFileDevice::FileModificationTime);
    };
    if (failure == QLatin1String("next part is a link"))
        QVERIFY(writeForeign() && QFile::link(foreign, dir.filePath(QStringLiteral("X_1.DB"))));
    if (failure.startsWith(QLatin1String("next part")))
        rec.m_save.setPartSizeLimit(6 * quint64(packetSize));
    const qint64 frameBytes = 3 * qint64(packetSize);
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    if (failure == QLatin1String("file size limit")) {
        // Room for three frames and part of the fourth.
        rlimit low = saved;
        low.rlim_cur = rlim_t(3 * frameBytes + frameBytes / 2);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &low) == 0);
    }

    emit center->sigSaveFile(url(first));
    // Nothing there that the recording would replace: nothing to ask.
    QCOMPARE(rec.m_questions, QStringList());
    if (failure == QLatin1String("next part appears"))
        QVERIFY(writeForeign());
    rec.push({1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6});
    QTRY_COMPARE_WITH_TIMEOUT(rec.m_stops.size(), 1, 10000);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &saved) == 0);
    QTRY_COMPARE_WITH_TIMEOUT(center->m_fileStatus(), InformationCenter::FileStatus::None, 10000);

    const QStringList tips = rec.tipTexts();
    QVERIFY2(!tips.isEmpty() && tips.last().startsWith(QStringLiteral("保存数据失败：")),
             qPrintable(tips.join('|')));
    QVERIFY(!tips.contains(QStringLiteral("保存数据完成")));
    if (wholeFramesKept >= 0)
        QCOMPARE(QFileInfo(first).size(), wholeFramesKept * frameBytes);
    else
        QVERIFY(!QFileInfo(first).isFile());
    if (failure == QLatin1String("next part is a link")
        || failure == QLatin1String("next part appears")) {
        QFile file(dir.filePath(QStringLiteral("X_1.DB")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), foreignBytes);
    }

    // The operator's stop that may still follow says nothing either, and a new recording works.
    emit center->sigStopSaveFile();
    QVERIFY(!rec.tipTexts().contains(QStringLiteral("保存数据完成")));
    const QString next = dir.filePath(QStringLiteral("next.DB"));
    emit center->sigSaveFile(url(next));
    rec.push({8, 9});
    QTRY_VERIFY_WITH_TIMEOUT(rec.drained(), 10000);
    emit center->sigStopSaveFile();
    QCOMPARE(QFileInfo(next).size(), qint64(packetSize));
    QCOMPARE(rec.tipTexts().last(), QStringLiteral("保存数据完成"));
}

void tst_FileSave::failureTipFollowsTheLanguage()
{
    QTranslator english;
    QVERIFY(english.load(QStringLiteral(":/languages/vexa_en_US.qm")));
    QVERIFY(QCoreApplication::installTranslator(&english));
    QTemporaryDir dir;
    Recorder rec(this);
    emit rec.m_center->sigSaveFile(url(dir.filePath(QStringLiteral("no such dir/X.DB"))));
    QTRY_COMPARE_WITH_TIMEOUT(rec.m_stops.size(), 1, 10000);
    QCoreApplication::removeTranslator(&english);
    const QStringList tips = rec.tipTexts();
    QVERIFY2(tips.size() == 1 && tips.first().startsWith(QStringLiteral("Failed to save data:")),
             qPrintable(tips.join('|')));
}

void tst_FileSave::ringOverrunIsReportedOnce_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QString>("lost");
    QTest::addColumn<QString>("saved");
    QTest::newRow("Chinese") << QString() << QStringLiteral("丢失")
                             << QStringLiteral("保存数据完成");
    QTest::newRow("English") << QStringLiteral(":/languages/vexa_en_US.qm")
                             << QStringLiteral("packets were lost")
                             << QStringLiteral("The data is saved");
}

void tst_FileSave::ringOverrunIsReportedOnce()
{
    QFETCH(QString, catalogue);
    QFETCH(QString, lost);
    QFETCH(QString, saved);
    const InstalledCatalogue installed(catalogue);
    QVERIFY(installed.m_ok);

    // A recording into a full pipe: the recorder blocks in its first write while the receiver
    // laps it three times. Once the pipe is read again it tells the operator once, and records
    // on.
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("slow.DB"));
    const QByteArray fifoName = QFile::encodeName(fifo);
    QVERIFY(mkfifo(fifoName.constData(), 0600) == 0);
    const int reader = ::open(fifoName.constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    const int filler = ::open(fifoName.constData(), O_WRONLY | O_NONBLOCK);
    QVERIFY(filler >= 0);
    const QByteArray junk(4096, 'j');
    qint64 junkBytes = 0;
    for (ssize_t n; (n = ::write(filler, junk.constData(), std::size_t(junk.size()))) > 0;)
        junkBytes += n;
    ::close(filler);

    Recorder rec(this, 64);
    // Reads the pipe once the tap is opened; on the way out (also after a failed check) the
    // recorder is stopped while the pipe is still read, so it cannot hang in its write.
    struct Drain
    {
        Recorder &m_rec;
        int m_fd;
        std::atomic<bool> m_tap{false};
        std::atomic<bool> m_running{true};
        std::atomic<qint64> m_received{0};
        std::thread m_thread{[this] {
            char buffer[65536];
            while (m_running.load()) {
                const ssize_t n = m_tap.load() ? ::read(m_fd, buffer, sizeof buffer) : 0;
                if (n > 0)
                    m_received += n;
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }};
        ~Drain()
        {
            m_tap = true;
            m_rec.m_save.stop();
            m_running = false;
            m_thread.join();
            ::close(m_fd);
        }
    } drain{rec, reader};

    emit rec.m_center->sigSaveFile(url(fifo));
    rec.push({0, 0, 1}); // frame 0 goes to the write that blocks
    QTRY_VERIFY_WITH_TIMEOUT(rec.drained(), 10000);
    for (quint32 f = 2; f < 2 + 3 * 64 / 2; ++f)
        rec.push({f, f});
    drain.m_tap = true;
    QTRY_VERIFY_WITH_TIMEOUT(rec.tipTexts().filter(lost).size() == 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(rec.drained(), 10000);
    rec.m_ring->push(packet(1000, 0).constData(), packetSize); // the ring overruns no more
    for (quint32 f = 1001; f < 1101; ++f) {
        rec.push({f, f});
        if (f % 20 == 0)
            QTRY_VERIFY_WITH_TIMEOUT(rec.drained(), 10000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(rec.drained(), 10000);
    emit rec.m_center->sigStopSaveFile();

    const QStringList tips = rec.tipTexts();
    QCOMPARE(tips.filter(lost).size(), 1);
    QCOMPARE(tips.last(), saved);
    QVERIFY(rec.m_ring->lostRecordPackets() >= 2 * 64);
    // Frame 0, what survived of the laps, then frames 1000 .. 1099 whole (1100 was in progress).
    QTRY_VERIFY_WITH_TIMEOUT(
        drain.m_received.load() - junkBytes >= (2 + 1 + 99 * 2) * qint64(packetSize), 10000);
    QCOMPARE((drain.m_received.load() - junkBytes) % packetSize, 0);
}

void tst_FileSave::asksBeforeReplacingLeftovers_data()
{
    // An earlier recording left dive.DB and the later parts given. Parts of four records here,
    // and the new recording has frames 1, 2 and 3 of two records: dive.DB, dive_1.DB.
    QTest::addColumn<QList<int>>("leftovers");
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("listed"); // in the question; empty: no question
    const QString english = QStringLiteral(":/languages/vexa_en_US.qm");
    QTest::newRow("three, Yes") << QList<int>{1, 2, 3} << QString() << true
                                << "dive_1.DB, dive_2.DB, dive_3.DB";
    QTest::newRow("three, No") << QList<int>{1, 2, 3} << QString() << false
                               << "dive_1.DB, dive_2.DB, dive_3.DB";
    QTest::newRow("one, Yes") << QList<int>{1} << QString() << true << "dive_1.DB";
    QTest::newRow("five, the first three named, No")
        << QList<int>{1, 2, 3, 4, 5} << QString() << false << "dive_1.DB, dive_2.DB, dive_3.DB, …";
    QTest::newRow("in part order, not name order, Yes")
        << QList<int>{10, 2, 11, 1} << QString() << true << "dive_1.DB, dive_2.DB, dive_10.DB, …";
    QTest::newRow("only a far part, English, Yes")
        << QList<int>{10} << english << true << "dive_10.DB";
    QTest::newRow("English, No") << QList<int>{1, 2} << english << false << "dive_1.DB, dive_2.DB";
    QTest::newRow("five, English, Yes")
        << QList<int>{1, 2, 3, 4, 5} << english << true << "dive_1.DB, dive_2.DB, dive_3.DB, …";
    QTest::newRow("no later parts: no question") << QList<int>{} << QString() << false << QString();
}

void tst_FileSave::asksBeforeReplacingLeftovers()
{
    QFETCH(QList<int>, leftovers);
    QFETCH(QString, catalogue);
    QFETCH(bool, yes);
    QFETCH(QString, listed);
    const InstalledCatalogue installed(catalogue);
    QVERIFY(installed.m_ok);
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("dive.DB"));
    QVERIFY(leaveParts(first, QList<int>{0} + leftovers));
    const FolderState before = stateOf(dir.path());

    Recorder rec(this);
    rec.m_answer = [yes] { return yes; };
    rec.m_save.setPartSizeLimit(4 * quint64(packetSize));
    emit rec.m_center->sigSaveFile(url(first));

    if (listed.isEmpty()) {
        QCOMPARE(rec.m_questions, QStringList());
    } else {
        // The count reads right in either language; the question says nothing of where the
        // files came from (they may be another recording's).
        const QString text =
            catalogue.isEmpty()
                ? QStringLiteral("录制|此处有 %1 个文件与本次录制的后续分段同名：%2\n只有录制增长"
                                 "到某个分段时，才会替换与之同名的文件（每 500 MiB "
                                 "开始一个新分段），录制未到达的文件保持不变。是否继续？")
            : leftovers.size() == 1
                ? QStringLiteral("Recording|There is %1 file here under the name of one of "
                                 "this recording's later parts: %2\nIt is replaced only if "
                                 "the recording grows that far (a new part begins every 500 "
                                 "MiB); otherwise it stays as it is. Continue?")
                : QStringLiteral("Recording|There are %1 files here under the names of this "
                                 "recording's later parts: %2\nEach is replaced only if the "
                                 "recording grows that far (a new part begins every 500 MiB); "
                                 "those it does not reach stay as they are. Continue?");
        QCOMPARE(rec.m_questions, QStringList{text.arg(leftovers.size()).arg(listed)});
    }
    if (!yes && !listed.isEmpty()) {
        // Nothing starts and nothing on disk changes.
        QCOMPARE(rec.m_center->m_fileStatus(), InformationCenter::FileStatus::None);
        QCOMPARE(stateOf(dir.path()), before);
        QCOMPARE(rec.tipTexts(), QStringList());
        QCOMPARE(rec.m_stops.size(), 0);
        return;
    }
    QCOMPARE(rec.m_center->m_fileStatus(), InformationCenter::FileStatus::Saving);
    rec.push({1, 1, 2, 2, 3, 3, 4});
    QTRY_VERIFY_WITH_TIMEOUT(rec.drained(), 10000);
    emit rec.m_center->sigStopSaveFile();
    QTRY_COMPARE_WITH_TIMEOUT(rec.m_center->m_fileStatus(), InformationCenter::FileStatus::None,
                              10000);
    // The folder holds the new recording, and every leftover it did not reach as it was.
    const QStringList parts{"dive.DB", "dive_1.DB"};
    QCOMPARE(stateOf(dir.path()).without(parts), before.without(parts));
    QStringList names = before.names + parts;
    names.removeDuplicates();
    names.sort();
    QCOMPARE(stateOf(dir.path()).names, names);
    QCOMPARE(serialsIn(first), (QList<quint32>{1, 1, 2, 2}));
    QCOMPARE(serialsIn(dir.filePath(QStringLiteral("dive_1.DB"))), (QList<quint32>{3, 3}));
    QCOMPARE(rec.tipTexts().size(), 2);
    QCOMPARE(rec.tipTexts().last(), catalogue.isEmpty() ? QStringLiteral("保存数据完成")
                                                        : QStringLiteral("The data is saved"));
}

void tst_FileSave::sonarLostWhileAsked_data()
{
    QTest::addColumn<bool>("lost");
    QTest::newRow("sonar lost while the question is open") << true;
    QTest::newRow("sonar still connected") << false;
}

void tst_FileSave::sonarLostWhileAsked()
{
    // The question box runs its own event loop, in which the connection may go: the operator's
    // Yes then starts nothing, and nothing on disk changes.
    QFETCH(bool, lost);
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("dive.DB"));
    QVERIFY(leaveParts(first, {0, 1}));
    const FolderState before = stateOf(dir.path());
    Recorder rec(this);
    InformationCenter *center = rec.m_center;
    center->f_setConnectStatusConnected();
    rec.m_answer = [center, lost] {
        if (lost)
            center->f_setConnectStatusNone();
        return true;
    };
    emit center->sigSaveFile(url(first));
    QCOMPARE(rec.m_questions.size(), 1);
    if (lost) {
        QCOMPARE(center->m_fileStatus(), InformationCenter::FileStatus::None);
        QCOMPARE(stateOf(dir.path()), before);
        QCOMPARE(rec.tipTexts(), QStringList());
        return;
    }
    QCOMPARE(center->m_fileStatus(), InformationCenter::FileStatus::Saving);
    emit center->sigStopSaveFile();
    QTRY_COMPARE_WITH_TIMEOUT(center->m_fileStatus(), InformationCenter::FileStatus::None, 10000);
    // A recording that never reached dive_1.DB leaves it as it was.
    QCOMPARE(stateOf(dir.path()).names, (QStringList{"dive.DB", "dive_1.DB"}));
    QCOMPARE(stateOf(dir.path()).without({"dive.DB"}), before.without({"dive.DB"}));
}

QTEST_GUILESS_MAIN(tst_FileSave)
#include "tst_filesave.moc"
