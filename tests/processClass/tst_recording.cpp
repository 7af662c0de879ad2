#include "processClass/PackageInfo.h"
#include "processClass/RecordingFile.h"
#include "processClass/RecordingWriter.h"
#include "support/SimRecording.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

// The recording file's names and the writer that groups records into whole frames and parts.
namespace {

// A record of frame `serial` whose packSerialNum carries `mark`, so its place in the file shows.
QByteArray record(quint32 serial, quint16 mark)
{
    packageInfo head = SimSonar::defaultHeader();
    head.frameSerialNum = serial;
    head.packSerialNum = mark;
    QByteArray bytes = SimSonar::buildPacket(head, QByteArray(int(packetSize) - int(sizeof head), '\x5a'));
    return bytes;
}

bool feed(RecordingWriter &writer, const QList<quint32> &serials, quint16 firstMark = 0)
{
    quint16 mark = firstMark;
    for (quint32 serial : serials) {
        if (!writer.addRecord(reinterpret_cast<const uchar *>(record(serial, mark++).constData())))
            return false;
    }
    return true;
}

QList<quint32> serialsOf(const std::vector<SimSonar::RecordView> &records)
{
    QList<quint32> out;
    for (const auto &r : records)
        out << r.frameSerial;
    return out;
}

QList<quint16> marksOf(const std::vector<SimSonar::RecordView> &records)
{
    QList<quint16> out;
    for (const auto &r : records)
        out << r.packSerial;
    return out;
}

} // namespace

class tst_Recording : public QObject
{
    Q_OBJECT

private slots:
    void localPath_data();
    void localPath();
    void partPath_data();
    void partPath();
    void partNames_data();
    void partNames();
    void wholeFramesInArrivalOrder_data();
    void wholeFramesInArrivalOrder();
    void partsSplitAfterWholeFrames_data();
    void partsSplitAfterWholeFrames();
    void longRunStaysInsideTheBuffer();
    void whichFileContinuesARecording_data();
    void whichFileContinuesARecording();
    void newRecordingOverAnOldOne_data();
    void newRecordingOverAnOldOne();
};

void tst_Recording::localPath_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("path");
    QTest::newRow("file URL") << "file:///home/op/rec/dive.DB" << "/home/op/rec/dive.DB";
    QTest::newRow("escaped non-ASCII") << "file:///home/op/%E6%95%B0%E6%8D%AE%20a.DB" << "/home/op/数据 a.DB";
    QTest::newRow("plain path") << "/home/op/rec/dive.DB" << "/home/op/rec/dive.DB";
}

void tst_Recording::localPath()
{
    QFETCH(QString, url);
    QFETCH(QString, path);
    QCOMPARE(RecordingFile::localPath(url), path);
}

void tst_Recording::partPath_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("path");
    QTest::newRow("first part") << "/rec/dive.DB" << 0 << "/rec/dive.DB";
    QTest::newRow("second") << "/rec/dive.DB" << 1 << "/rec/dive_1.DB";
    QTest::newRow("third") << "/rec/dive.DB" << 2 << "/rec/dive_2.DB";
    QTest::newRow("eleventh") << "/rec/dive.DB" << 10 << "/rec/dive_10.DB";
    QTest::newRow("underscore in name") << "/rec/a_b.DB" << 1 << "/rec/a_b_1.DB";
    QTest::newRow("underscore in name, third") << "/rec/a_b.DB" << 2 << "/rec/a_b_2.DB";
    QTest::newRow("lower-case extension") << "/rec/dive.db" << 1 << "/rec/dive_1.DB";
    QTest::newRow("dots in name") << "/rec/a.b.DB" << 1 << "/rec/a.b_1.DB";
    // Named as the replay reader looks for them, not by cutting three characters.
    QTest::newRow("no extension") << "/rec/dive" << 1 << "/rec/dive_1.DB";
    QTest::newRow("non-ASCII") << "/记录/潜水.DB" << 3 << "/记录/潜水_3.DB";
    QTest::newRow("relative") << "dive.DB" << 1 << "dive_1.DB";
}

void tst_Recording::partPath()
{
    QFETCH(QString, first);
    QFETCH(int, index);
    QFETCH(QString, path);
    QCOMPARE(RecordingFile::partPath(first, index), path);
}

void tst_Recording::partNames_data()
{
    QTest::addColumn<QByteArray>("chosen");
    QTest::addColumn<QByteArrayList>("names");
    QTest::addColumn<QByteArrayList>("parts");
    const QByteArrayList gap{"dive.DB", "dive_1.DB", "dive_2.DB", "dive_4.DB", "other.DB"};
    QTest::newRow("stops at the first gap") << QByteArray("dive.DB") << gap << QByteArrayList{"dive.DB", "dive_1.DB", "dive_2.DB"};
    QTest::newRow("a later part chosen") << QByteArray("dive_1.DB") << gap << QByteArrayList{"dive_1.DB"};
    QTest::newRow("lower-case choice, upper-case parts")
        << QByteArray("dive.db") << QByteArrayList{"dive.DB", "dive.db", "dive_1.DB", "dive_1.db"} << QByteArrayList{"dive.DB", "dive_1.DB"};
    QTest::newRow("only the lower-case file exists")
        << QByteArray("dive.db") << QByteArrayList{"dive.db", "dive_1.DB"} << QByteArrayList{"dive.db", "dive_1.DB"};
    QTest::newRow("single part") << QByteArray("dive.DB") << QByteArrayList{"dive.DB"} << QByteArrayList{"dive.DB"};
    QTest::newRow("chosen file missing") << QByteArray("dive.DB") << QByteArrayList{} << QByteArrayList{"dive.DB"};
    QTest::newRow("dots in name") << QByteArray("a.b.DB") << QByteArrayList{"a.b.DB", "a.b_1.DB", "a_1.DB"} << QByteArrayList{"a.b.DB", "a.b_1.DB"};
    QTest::newRow("case of later parts is exact")
        << QByteArray("dive.DB") << QByteArrayList{"dive.DB", "dive_1.db"} << QByteArrayList{"dive.DB"};
    QTest::newRow("name beginning with a colon")
        << QByteArray(":dive.DB") << QByteArrayList{":dive.DB", ":dive_1.DB", "dive_1.DB"} << QByteArrayList{":dive.DB", ":dive_1.DB"};
    // Latin-1 bytes, no UTF-8: the parts are found by the same bytes.
    QTest::newRow("name that is no UTF-8")
        << QByteArray("caf\xe9.DB") << QByteArrayList{"caf\xe9.DB", "caf\xe9_1.DB", "caf\xef\xbf\xbd_2.DB"}
        << QByteArrayList{"caf\xe9.DB", "caf\xe9_1.DB"};
}

void tst_Recording::partNames()
{
    QFETCH(QByteArray, chosen);
    QFETCH(QByteArrayList, names);
    QFETCH(QByteArrayList, parts);
    QCOMPARE(RecordingFile::partNames(chosen, QSet<QByteArray>(names.begin(), names.end())), parts);
}

void tst_Recording::wholeFramesInArrivalOrder_data()
{
    QTest::addColumn<QList<quint32>>("serials");
    QTest::addColumn<QList<quint32>>("written");
    QTest::addColumn<QList<quint16>>("marks");
    QTest::newRow("frame in progress dropped") << QList<quint32>{7, 7, 7, 8, 8, 8, 9}
                                               << QList<quint32>{7, 7, 7, 8, 8, 8} << QList<quint16>{0, 1, 2, 3, 4, 5};
    QTest::newRow("nothing finished") << QList<quint32>{7, 7} << QList<quint32>{} << QList<quint16>{};
    QTest::newRow("a packet missing") << QList<quint32>{1, 1, 2, 2, 2, 3}
                                      << QList<quint32>{1, 1, 2, 2, 2} << QList<quint16>{0, 1, 2, 3, 4};
    QTest::newRow("interrupted frame written as two runs") << QList<quint32>{1, 1, 2, 1, 3}
                                                           << QList<quint32>{1, 1, 2, 1} << QList<quint16>{0, 1, 2, 3};
    // The first frame of a recording may well carry serial 0.
    QTest::newRow("serial 0 first") << QList<quint32>{0, 0, 1} << QList<quint32>{0, 0} << QList<quint16>{0, 1};
}

void tst_Recording::wholeFramesInArrivalOrder()
{
    QFETCH(QList<quint32>, serials);
    QFETCH(QList<quint32>, written);
    QFETCH(QList<quint16>, marks);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dive.DB"));
    RecordingWriter writer(packetSize);
    QVERIFY(writer.open(path));
    QVERIFY(feed(writer, serials));
    writer.close();
    QCOMPARE(QFileInfo(path).size(), qint64(written.size()) * packetSize);
    const auto records = SimSonar::readRecords(path);
    QCOMPARE(serialsOf(records), written);
    QCOMPARE(marksOf(records), marks);
}

void tst_Recording::partsSplitAfterWholeFrames_data()
{
    QTest::addColumn<quint64>("limit");
    QTest::addColumn<QList<QList<quint32>>>("parts");
    const quint64 frame = 3 * quint64(packetSize);
    // Frames 1..5 of three records each, then one record of frame 6 (dropped at the close); a
    // part begun for frame 6 stays empty.
    QTest::newRow("limit reached exactly") << 2 * frame
        << QList<QList<quint32>>{{1, 1, 1, 2, 2, 2}, {3, 3, 3, 4, 4, 4}, {5, 5, 5}};
    QTest::newRow("one byte short takes the next frame too") << 2 * frame + 1
        << QList<QList<quint32>>{{1, 1, 1, 2, 2, 2, 3, 3, 3}, {4, 4, 4, 5, 5, 5}};
    QTest::newRow("limit below one frame") << quint64(1)
        << QList<QList<quint32>>{{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}, {5, 5, 5}, {}};
}

void tst_Recording::partsSplitAfterWholeFrames()
{
    QFETCH(quint64, limit);
    QFETCH(QList<QList<quint32>>, parts);
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("a_b.DB"));
    RecordingWriter writer(packetSize);
    writer.setPartLimit(limit);
    QVERIFY(writer.open(first));
    QVERIFY(feed(writer, {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6}));
    writer.close();
    QCOMPARE(writer.partIndex(), int(parts.size()) - 1);
    for (int i = 0; i < parts.size(); ++i) {
        const QString path = RecordingFile::partPath(first, i);
        QCOMPARE(serialsOf(SimSonar::readRecords(path)), parts[i]);
    }
    QVERIFY(!QFile::exists(RecordingFile::partPath(first, int(parts.size()))));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), parts.size());
}

void tst_Recording::longRunStaysInsideTheBuffer()
{
    // A sonar that never advances its serial: the run is written in pieces of a full buffer,
    // all of it, in order. A part that has reached its size takes no further piece, so the
    // run cannot grow one part beyond what the replay reads; the parts in order still hold
    // every record, which the replay's assembler joins across them.
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("run.DB"));
    RecordingWriter writer(packetSize);
    writer.setPartLimit(packetSize);
    QVERIFY(writer.open(first));
    const int runLength = 2 * RecordingWriter::maxFramePackets + 7;
    QList<quint32> serials(runLength, 5);
    serials << 6 << 7;
    QVERIFY(feed(writer, serials));
    writer.close();
    std::vector<SimSonar::RecordView> records;
    QList<int> partSizes;
    for (int i = 0; QFile::exists(RecordingFile::partPath(first, i)); ++i) {
        const auto part = SimSonar::readRecords(RecordingFile::partPath(first, i));
        partSizes << int(part.size());
        records.insert(records.end(), part.begin(), part.end());
    }
    QCOMPARE(partSizes, (QList<int>{RecordingWriter::maxFramePackets, RecordingWriter::maxFramePackets, 7, 1, 0}));
    QCOMPARE(int(records.size()), runLength + 1);
    for (int i = 0; i < runLength; ++i)
        QCOMPARE(records[std::size_t(i)].packSerial, quint16(i));
    QCOMPARE(records.back().frameSerial, 6u);
}

void tst_Recording::whichFileContinuesARecording_data()
{
    // Two parts in file order: the size of the first, and how much later the second was
    // changed (negative: earlier).
    QTest::addColumn<quint64>("size");
    QTest::addColumn<qint64>("later");
    QTest::addColumn<bool>("replayed");   // the replay goes on to the second
    QTest::addColumn<bool>("rewritten");  // a new recording over the first may rewrite the second
    const quint64 full = RecordingFile::partBytes;
    QTest::newRow("full part, next written after it") << full << qint64(1) << true << true;
    QTest::newRow("full part, next in the same instant") << full << qint64(0) << true << true;
    // A recording copied part by part in another order still replays whole...
    QTest::newRow("full part, next changed before it") << full << qint64(-1) << true << false;
    // ... as does one with a short part in the middle (a part that failed to fill).
    QTest::newRow("short part, next written after it") << full - 1 << qint64(1) << true << false;
    // The new first part of a recording over an older one of several parts.
    QTest::newRow("short part, next changed before it") << full - 1 << qint64(-1) << false << false;
    QTest::newRow("empty part, next changed before it") << quint64(0) << qint64(-1) << false << false;
}

void tst_Recording::whichFileContinuesARecording()
{
    QFETCH(quint64, size);
    QFETCH(qint64, later);
    QFETCH(bool, replayed);
    QFETCH(bool, rewritten);
    const RecordingFile::PartStamp first{size, 1700000000000000000};
    const RecordingFile::PartStamp second{10 * quint64(packetSize), first.modified + later};
    QCOMPARE(RecordingFile::continuesRecording(first, second), replayed);
    QCOMPARE(RecordingFile::isNextPart(first, second, RecordingFile::partBytes), rewritten);
}

void tst_Recording::newRecordingOverAnOldOne_data()
{
    // Parts of two frames of three records. The old recording, changed an hour ago, has the
    // frames 101..105 in X.DB, X_1.DB, X_2.DB, unless the setup says otherwise.
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("newFrames");
    QTest::addColumn<bool>("recorded"); // the new recording went on to its end
    QTest::addColumn<QList<QList<quint32>>>("parts"); // X.DB, X_1.DB, ... afterwards
    using Parts = QList<QList<quint32>>;
    const QList<quint32> f3{3, 3, 3}, f4{4, 4, 4}, f103{103, 103, 103}, f104{104, 104, 104}, f105{105, 105, 105};
    QTest::newRow("shorter: the old later parts stay") << "old recording" << 1 << true
        << Parts{{1, 1, 1}, f103 + f104, f105};
    QTest::newRow("as long as two old parts: the third stays") << "old recording" << 3 << true
        << Parts{{1, 1, 1, 2, 2, 2}, f3, f105};
    QTest::newRow("longer: every old part rewritten") << "old recording" << 7 << true
        << Parts{{1, 1, 1, 2, 2, 2}, f3 + f4, {5, 5, 5, 6, 6, 6}, {7, 7, 7}};
    // The old X.DB was no full part: X_1.DB is a recording of its own. Where the recording
    // ends at a file it leaves alone, its last part ends a frame short of the part size: a
    // replay goes on from a full part whatever follows, but not from a shorter one to an older
    // file.
    QTest::newRow("another recording under the next name") << "other recording" << 3 << false
        << Parts{{1, 1, 1}, {201, 201, 201}};
    QTest::newRow("old part changed since the new one began") << "changed meanwhile" << 3 << false
        << Parts{{1, 1, 1}, f103 + f104 + QList<quint32>{109}, f105};
    QTest::newRow("old parts not in the order they were written") << "out of order" << 3 << false
        << Parts{{1, 1, 1}, f103 + f104, f105};
    QTest::newRow("a link under the next name") << "link" << 3 << false
        << Parts{{1, 1, 1}, {201, 201, 201}};
}

void tst_Recording::newRecordingOverAnOldOne()
{
    QFETCH(QString, setup);
    QFETCH(int, newFrames);
    QFETCH(bool, recorded);
    QFETCH(QList<QList<quint32>>, parts);
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("X.DB"));
    const quint64 limit = 6 * quint64(packetSize);
    const auto frames = [](quint32 from, quint32 to) {
        QList<quint32> serials;
        for (quint32 f = from; f <= to; ++f)
            serials << f << f << f;
        return serials << to + 1; // the frame in progress is dropped
    };
    const auto ageAll = [&](const QList<int> &hoursAgo) {
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        for (int i = 0; i < hoursAgo.size(); ++i) {
            timespec times[2] = {{0, UTIME_OMIT}, {now.tv_sec - 3600 * hoursAgo[i], now.tv_nsec}};
            QVERIFY(utimensat(AT_FDCWD, QFile::encodeName(RecordingFile::partPath(first, i)).constData(), times, 0) == 0);
        }
    };
    QTemporaryDir elsewhere;
    {
        RecordingWriter old(packetSize);
        old.setPartLimit(limit);
        if (setup == QLatin1String("link")) {
            const QString target = elsewhere.filePath(QStringLiteral("other.DB"));
            QVERIFY(old.open(target) && feed(old, frames(201, 201)));
            old.close();
            QVERIFY(QFile::link(target, RecordingFile::partPath(first, 1)));
            QVERIFY(old.open(first) && feed(old, frames(101, 101)));
            old.close();
        } else if (setup == QLatin1String("other recording")) {
            QVERIFY(old.open(first) && feed(old, frames(101, 101)));
            old.close();
            QVERIFY(old.open(RecordingFile::partPath(first, 1)) && feed(old, frames(201, 201)));
            old.close();
        } else {
            QVERIFY(old.open(first) && feed(old, frames(101, 105)));
            old.close();
        }
    }
    if (setup == QLatin1String("other recording"))
        ageAll({2, 1});
    else if (setup == QLatin1String("link"))
        ageAll({1, 2});
    else if (setup == QLatin1String("out of order"))
        ageAll({1, 2, 1});
    else
        ageAll({1, 1, 1});

    RecordingWriter writer(packetSize);
    writer.setPartLimit(limit);
    QVERIFY(writer.open(first));
    if (setup == QLatin1String("changed meanwhile")) {
        QFile part(RecordingFile::partPath(first, 1));
        QVERIFY(part.open(QIODevice::Append));
        part.write(record(109, 0));
    }
    QCOMPARE(feed(writer, frames(1, quint32(newFrames))), recorded);
    writer.close();
    if (!recorded)
        QVERIFY2(writer.errorString() == qt_error_string(EEXIST), qPrintable(writer.errorString()));
    for (int i = 0; i < parts.size(); ++i)
        QCOMPARE(serialsOf(SimSonar::readRecords(RecordingFile::partPath(first, i))), parts[i]);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), parts.size());
}

QTEST_GUILESS_MAIN(tst_Recording)
#include "tst_recording.moc"
