#include "processClass/PackageInfo.h"
#include "processClass/RecordingFile.h"
#include "processClass/RecordingWriter.h"
#include "support/SimRecording.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

// The recording file's names and the writer that groups records into whole frames and parts.
namespace {

// A record of frame `serial` whose packSerialNum carries `mark`, so its place in the file shows.
QByteArray record(quint32 serial, quint16 mark)
{
    packageInfo head = SimSonar::defaultHeader();
    head.frameSerialNum = serial;
    head.packSerialNum = mark;
    QByteArray bytes =
        SimSonar::buildPacket(head, QByteArray(int(packetSize) - int(sizeof head), '\x5a'));
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

// Frames from..to of `size` records each, then one record of the next frame, which is still in
// progress when the recording closes and so is dropped.
QList<quint32> frames(quint32 from, quint32 to, int size)
{
    QList<quint32> serials;
    for (quint32 f = from; f <= to; ++f)
        serials << QList<quint32>(size, f);
    return serials << to + 1;
}

// A recording as the program makes it after the operator agreed to replace what an earlier
// one left under its name.
bool recordOver(const QString &first, const QList<quint32> &serials, quint64 limit,
                QString *error = nullptr)
{
    RecordingWriter writer(packetSize);
    writer.setPartLimit(limit);
    if (!writer.open(first, RecordingFile::existingLaterParts(first)))
        return false;
    const bool whole = feed(writer, serials);
    writer.close();
    if (error)
        *error = writer.errorString();
    return whole;
}

// The records a replay of the recording whose first part is `first` reads, part after part,
// choosing its parts as the replay reader does.
QList<quint32> replayedSerials(const QString &first)
{
    const QFileInfo chosen(first);
    QSet<QByteArray> names;
    for (const QString &name : QDir(chosen.path()).entryList(QDir::Files))
        names << QFile::encodeName(name);
    QList<quint32> serials;
    RecordingFile::PartStamp previous;
    bool firstPart = true;
    for (const QByteArray &part :
         RecordingFile::partNames(QFile::encodeName(chosen.fileName()), names)) {
        const QString path = chosen.dir().filePath(QFile::decodeName(part));
        struct stat status;
        if (::stat(QFile::encodeName(path).constData(), &status) != 0)
            break;
        const RecordingFile::PartStamp stamp = RecordingFile::stampOf(status);
        if (!firstPart && !RecordingFile::continuesRecording(previous, stamp))
            break;
        firstPart = false;
        previous = stamp;
        serials << serialsOf(SimSonar::readRecords(path));
    }
    return serials;
}

// The entries of a directory, sorted by name; a directory is marked "/", a link "@" and a pipe "|".
QStringList entriesOf(const QString &directory)
{
    QStringList out;
    const QFileInfoList entries = QDir(directory).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden, QDir::Name);
    for (const QFileInfo &entry : entries) {
        struct stat status;
        QString mark;
        if (::lstat(QFile::encodeName(entry.filePath()).constData(), &status) == 0) {
            if (S_ISDIR(status.st_mode))
                mark = QStringLiteral("/");
            else if (S_ISLNK(status.st_mode))
                mark = QStringLiteral("@");
            else if (S_ISFIFO(status.st_mode))
                mark = QStringLiteral("|");
        }
        out << entry.fileName() + mark;
    }
    return out;
}

// Sets the time of last change of a file, seconds from now (negative: earlier).
bool setModified(const QString &path, qint64 secondsFromNow)
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const timespec times[2] = {{0, UTIME_OMIT}, {now.tv_sec + secondsFromNow, now.tv_nsec}};
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW)
           == 0;
}

// Each entry of a folder but those named in `skipped`, by name, as closely as a test can tell
// a file from one made anew in its place: kind and mode, inode, size, time of last change, and
// the bytes of a regular file or the target of a link.
QStringList snapshotOf(const QString &directory, const QStringList &skipped = {})
{
    QStringList out;
    for (const QString &name : QDir(directory).entryList(
             QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden, QDir::Name)) {
        if (skipped.contains(name))
            continue;
        const QByteArray path = QFile::encodeName(QDir(directory).filePath(name));
        struct stat status;
        if (::lstat(path.constData(), &status) != 0) {
            out << name + QStringLiteral("|gone");
            continue;
        }
        QByteArray content;
        if (S_ISREG(status.st_mode)) {
            QFile file(QFile::decodeName(path));
            content =
                file.open(QIODevice::ReadOnly)
                    ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex()
                    : QByteArrayLiteral("unreadable");
        } else if (S_ISLNK(status.st_mode)) {
            content = QFile::encodeName(QFile::symLinkTarget(QFile::decodeName(path)));
        }
        out << QStringLiteral("%1|%2|%3|%4|%5.%6|%7")
                   .arg(name, QString::number(status.st_mode, 8))
                   .arg(quint64(status.st_ino))
                   .arg(qint64(status.st_size))
                   .arg(qint64(status.st_mtim.tv_sec))
                   .arg(qint64(status.st_mtim.tv_nsec))
                   .arg(QString::fromUtf8(content));
    }
    return out;
}

// Moves the time of last change of every file in a folder an hour back, their order kept: what
// a recording made an hour ago looks like, for one that follows at once.
bool ageFolder(const QString &directory)
{
    for (const QFileInfo &entry :
         QDir(directory).entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::Hidden)) {
        struct stat status;
        const QByteArray path = QFile::encodeName(entry.filePath());
        if (::lstat(path.constData(), &status) != 0)
            return false;
        const timespec times[2] = {{0, UTIME_OMIT},
                                   {status.st_mtim.tv_sec - 3600, status.st_mtim.tv_nsec}};
        if (utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
    }
    return true;
}

// What another program writes: a file that is no part of any recording here.
const QByteArray foreignBytes = record(201, 0) + record(201, 1) + record(201, 2);

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Does to the parts of the recording whose first part is `first` what the actions say, one
// after another (separated by ","): "remove:N"; "file:N", "link:N", "hardlink:N", "dir:N",
// "pipe:N" in its place another program's file (an hour old), a link to such a file in
// `elsewhere`, a second name of such a file there, a directory, a pipe; "grow:N" (bytes
// appended), "retime:N" (changed two hours ago), "renew:N" (the same bytes in a new file),
// "backup:N" (a second name for it in `elsewhere`, as a backup by hard links makes).
bool change(const QString &actions, const QString &first, const QString &elsewhere)
{
    for (const QString &action : actions.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString what = action.section(QLatin1Char(':'), 0, 0);
        const QString path =
            RecordingFile::partPath(first, action.section(QLatin1Char(':'), 1).toInt());
        const QByteArray name = QFile::encodeName(path);
        const QString there = QDir(elsewhere).filePath(QFileInfo(path).fileName());
        const bool replaced = what != QLatin1String("grow") && what != QLatin1String("retime")
                              && what != QLatin1String("renew") && what != QLatin1String("backup");
        if (replaced && ::unlink(name.constData()) != 0 && errno != ENOENT)
            return false;
        bool ok = false;
        if (what == QLatin1String("remove")) {
            ok = true;
        } else if (what == QLatin1String("file")) {
            ok = writeFile(path, foreignBytes) && setModified(path, -3600);
        } else if (what == QLatin1String("link")) {
            ok = writeFile(there, foreignBytes) && setModified(there, -3600)
                 && QFile::link(there, path);
        } else if (what == QLatin1String("hardlink")) {
            ok = writeFile(there, foreignBytes) && setModified(there, -3600)
                 && ::link(QFile::encodeName(there).constData(), name.constData()) == 0;
        } else if (what == QLatin1String("backup")) {
            ok = ::link(name.constData(), QFile::encodeName(there).constData()) == 0;
        } else if (what == QLatin1String("dir")) {
            ok = QDir().mkdir(path);
        } else if (what == QLatin1String("pipe")) {
            ok = mkfifo(name.constData(), 0600) == 0;
        } else if (what == QLatin1String("grow")) {
            QFile file(path);
            ok = file.open(QIODevice::Append) && file.write(foreignBytes) == foreignBytes.size();
        } else if (what == QLatin1String("retime")) {
            ok = setModified(path, -7200);
        } else if (what == QLatin1String("renew")) {
            const QString copy = path + QStringLiteral(".new");
            ok = QFile::copy(path, copy)
                 && ::rename(QFile::encodeName(copy).constData(), name.constData()) == 0;
        }
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

class tst_Recording : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
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
    void laterPartIndex_data();
    void laterPartIndex();
    void existingLaterParts_data();
    void existingLaterParts();
    void recordingsUnderOneName_data();
    void recordingsUnderOneName();
    void newRecordingOverAnOldOne_data();
    void newRecordingOverAnOldOne();
    void firstPartWhereTheDialogPoints_data();
    void firstPartWhereTheDialogPoints();
    void readOnlyLeftoversAsAnOrdinaryUser_data();
    void readOnlyLeftoversAsAnOrdinaryUser();
};

void tst_Recording::initTestCase()
{
    // A write past the file-size limit must fail with EFBIG instead of killing the test.
    std::signal(SIGXFSZ, SIG_IGN);
}

void tst_Recording::localPath_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("path");
    QTest::newRow("file URL") << "file:///home/op/rec/dive.DB"
                              << "/home/op/rec/dive.DB";
    QTest::newRow("escaped non-ASCII") << "file:///home/op/%E6%95%B0%E6%8D%AE%20a.DB"
                                       << "/home/op/数据 a.DB";
    QTest::newRow("plain path") << "/home/op/rec/dive.DB"
                                << "/home/op/rec/dive.DB";
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
    QTest::newRow("stops at the first gap")
        << QByteArray("dive.DB") << gap << QByteArrayList{"dive.DB", "dive_1.DB", "dive_2.DB"};
    QTest::newRow("a later part chosen")
        << QByteArray("dive_1.DB") << gap << QByteArrayList{"dive_1.DB"};
    QTest::newRow("lower-case choice, upper-case parts")
        << QByteArray("dive.db") << QByteArrayList{"dive.DB", "dive.db", "dive_1.DB", "dive_1.db"}
        << QByteArrayList{"dive.DB", "dive_1.DB"};
    QTest::newRow("only the lower-case file exists")
        << QByteArray("dive.db") << QByteArrayList{"dive.db", "dive_1.DB"}
        << QByteArrayList{"dive.db", "dive_1.DB"};
    QTest::newRow("single part") << QByteArray("dive.DB") << QByteArrayList{"dive.DB"}
                                 << QByteArrayList{"dive.DB"};
    QTest::newRow("chosen file missing")
        << QByteArray("dive.DB") << QByteArrayList{} << QByteArrayList{"dive.DB"};
    QTest::newRow("dots in name") << QByteArray("a.b.DB")
                                  << QByteArrayList{"a.b.DB", "a.b_1.DB", "a_1.DB"}
                                  << QByteArrayList{"a.b.DB", "a.b_1.DB"};
    QTest::newRow("case of later parts is exact")
        << QByteArray("dive.DB") << QByteArrayList{"dive.DB", "dive_1.db"}
        << QByteArrayList{"dive.DB"};
    QTest::newRow("name beginning with a colon")
        << QByteArray(":dive.DB") << QByteArrayList{":dive.DB", ":dive_1.DB", "dive_1.DB"}
        << QByteArrayList{":dive.DB", ":dive_1.DB"};
    // Latin-1 bytes, no UTF-8: the parts are found by the same bytes.
    QTest::newRow("name that is no UTF-8")
        << QByteArray("caf\xe9.DB")
        << QByteArrayList{"caf\xe9.DB", "caf\xe9_1.DB", "caf\xef\xbf\xbd_2.DB"}
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
    QTest::newRow("frame in progress dropped")
        << QList<quint32>{7, 7, 7, 8, 8, 8, 9} << QList<quint32>{7, 7, 7, 8, 8, 8}
        << QList<quint16>{0, 1, 2, 3, 4, 5};
    QTest::newRow("nothing finished")
        << QList<quint32>{7, 7} << QList<quint32>{} << QList<quint16>{};
    QTest::newRow("a packet missing")
        << QList<quint32>{1, 1, 2, 2, 2, 3} << QList<quint32>{1, 1, 2, 2, 2}
        << QList<quint16>{0, 1, 2, 3, 4};
    QTest::newRow("interrupted frame written as two runs")
        << QList<quint32>{1, 1, 2, 1, 3} << QList<quint32>{1, 1, 2, 1}
        << QList<quint16>{0, 1, 2, 3};
    // The first frame of a recording may well carry serial 0.
    QTest::newRow("serial 0 first")
        << QList<quint32>{0, 0, 1} << QList<quint32>{0, 0} << QList<quint16>{0, 1};
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
    QTest::newRow("limit reached exactly")
        << 2 * frame << QList<QList<quint32>>{{1, 1, 1, 2, 2, 2}, {3, 3, 3, 4, 4, 4}, {5, 5, 5}};
    QTest::newRow("one byte short takes the next frame too")
        << 2 * frame + 1 << QList<QList<quint32>>{{1, 1, 1, 2, 2, 2, 3, 3, 3}, {4, 4, 4, 5, 5, 5}};
    QTest::newRow("limit below one frame")
        << quint64(1)
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
    QCOMPARE(partSizes, (QList<int>{RecordingWriter::maxFramePackets,
                                    RecordingWriter::maxFramePackets, 7, 1, 0}));
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
    QTest::addColumn<bool>("replayed"); // the replay goes on to the second
    const quint64 full = RecordingFile::partBytes;
    QTest::newRow("full part, next written after it") << full << qint64(1) << true;
    QTest::newRow("full part, next in the same instant") << full << qint64(0) << true;
    // A recording copied part by part in another order still replays whole...
    QTest::newRow("full part, next changed before it") << full << qint64(-1) << true;
    // ... as does one with a short part in the middle (a part that failed to fill).
    QTest::newRow("short part, next written after it") << full - 1 << qint64(1) << true;
    // A part that gave back its last frame before a file the recording left alone.
    QTest::newRow("short part, next changed before it") << full - 1 << qint64(-1) << false;
    QTest::newRow("empty part, next changed before it") << quint64(0) << qint64(-1) << false;
}

void tst_Recording::whichFileContinuesARecording()
{
    QFETCH(quint64, size);
    QFETCH(qint64, later);
    QFETCH(bool, replayed);
    const RecordingFile::PartStamp first{size, 1700000000000000000};
    const RecordingFile::PartStamp second{10 * quint64(packetSize), first.modified + later};
    QCOMPARE(RecordingFile::continuesRecording(first, second), replayed);
}

void tst_Recording::laterPartIndex_data()
{
    QTest::addColumn<QByteArray>("base");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("index");
    QTest::newRow("second part") << QByteArray("dive") << QByteArray("dive_1.DB") << 1;
    QTest::newRow("eleventh part") << QByteArray("dive") << QByteArray("dive_10.DB") << 10;
    QTest::newRow("largest int") << QByteArray("dive") << QByteArray("dive_2147483647.DB")
                                 << 2147483647;
    QTest::newRow("beyond int") << QByteArray("dive") << QByteArray("dive_2147483648.DB") << 0;
    QTest::newRow("eleven digits") << QByteArray("dive") << QByteArray("dive_10000000001.DB") << 0;
    QTest::newRow("very long number")
        << QByteArray("dive") << QByteArray("dive_" + QByteArray(300, '9') + ".DB") << 0;
    QTest::newRow("zero") << QByteArray("dive") << QByteArray("dive_0.DB") << 0;
    QTest::newRow("leading zero") << QByteArray("dive") << QByteArray("dive_01.DB") << 0;
    QTest::newRow("no number") << QByteArray("dive") << QByteArray("dive_.DB") << 0;
    QTest::newRow("plus sign") << QByteArray("dive") << QByteArray("dive_+1.DB") << 0;
    QTest::newRow("minus sign") << QByteArray("dive") << QByteArray("dive_-1.DB") << 0;
    QTest::newRow("blank before the number") << QByteArray("dive") << QByteArray("dive_ 1.DB") << 0;
    QTest::newRow("letter after the number") << QByteArray("dive") << QByteArray("dive_1a.DB") << 0;
    QTest::newRow("digit of another script")
        << QByteArray("dive") << QByteArray("dive_\xd9\xa3.DB") << 0;
    QTest::newRow("lower-case extension") << QByteArray("dive") << QByteArray("dive_1.db") << 0;
    QTest::newRow("extension twice") << QByteArray("dive") << QByteArray("dive_1.DB.DB") << 0;
    QTest::newRow("something after the extension")
        << QByteArray("dive") << QByteArray("dive_1.DB~") << 0;
    QTest::newRow("the first part") << QByteArray("dive") << QByteArray("dive.DB") << 0;
    QTest::newRow("a part of another first part")
        << QByteArray("dive") << QByteArray("dive_1_2.DB") << 0;
    QTest::newRow("first part with a number")
        << QByteArray("dive_1") << QByteArray("dive_1_2.DB") << 2;
    QTest::newRow("underscore in the name") << QByteArray("a_b") << QByteArray("a_b_3.DB") << 3;
    QTest::newRow("shorter name") << QByteArray("div") << QByteArray("dive_1.DB") << 0;
    QTest::newRow("longer name") << QByteArray("dive") << QByteArray("xdive_1.DB") << 0;
    QTest::newRow("name that is no UTF-8")
        << QByteArray("caf\xe9") << QByteArray("caf\xe9_2.DB") << 2;
}

void tst_Recording::laterPartIndex()
{
    QFETCH(QByteArray, base);
    QFETCH(QByteArray, name);
    QFETCH(int, index);
    QCOMPARE(RecordingFile::laterPartIndex(base, name), index);
}

void tst_Recording::existingLaterParts_data()
{
    // Entries made in an empty folder: "name" a regular file, "name@" a link to a file
    // elsewhere, "name@?" a link to nothing, "name/" a directory, "name|" a pipe.
    QTest::addColumn<QString>("first");
    QTest::addColumn<bool>("relative"); // first named from the folder itself
    QTest::addColumn<QStringList>("made");
    QTest::addColumn<QList<int>>("parts");
    QTest::newRow("regular files, with gaps, in part order")
        << "dive.DB" << false
        << QStringList{"dive.DB", "dive_12.DB", "dive_1.DB", "dive_10.DB", "dive_2.DB"}
        << QList<int>{1, 2, 10, 12};
    QTest::newRow("only a far part")
        << "dive.DB" << false << QStringList{"dive_10.DB"} << QList<int>{10};
    QTest::newRow("links, directories and pipes are nobody's part")
        << "dive.DB" << false
        << QStringList{"dive_1.DB@", "dive_2.DB/", "dive_3.DB|", "dive_4.DB@?", "dive_5.DB"}
        << QList<int>{5};
    QTest::newRow("names of no part")
        << "dive.DB" << false
        << QStringList{"dive.DB",     "dive_0.DB",     "dive_01.DB", "dive_1.db",
                       "dive_1_1.DB", "dive_1.DB.bak", "dive_x.DB",  "other_1.DB"}
        << QList<int>{};
    QTest::newRow("lower-case extension chosen")
        << "dive.db" << false << QStringList{"dive_1.DB", "dive_2.db"} << QList<int>{1};
    QTest::newRow("underscore in the name")
        << "a_b.DB" << false << QStringList{"a_b_1.DB", "a_1.DB", "a_b_1_1.DB"} << QList<int>{1};
    QTest::newRow("non-ASCII name")
        << "潜水.DB" << false << QStringList{"潜水.DB", "潜水_2.DB"} << QList<int>{2};
    QTest::newRow("relative name")
        << "dive.DB" << true << QStringList{"dive_3.DB", "dive_1.DB"} << QList<int>{1, 3};
    QTest::newRow("nothing there") << "dive.DB" << false << QStringList{} << QList<int>{};
    QTest::newRow("folder missing") << "nowhere/dive.DB" << false << QStringList{} << QList<int>{};
}

void tst_Recording::existingLaterParts()
{
    QFETCH(QString, first);
    QFETCH(bool, relative);
    QFETCH(QStringList, made);
    QFETCH(QList<int>, parts);
    QTemporaryDir dir, elsewhere;
    for (const QString &entry : made) {
        const qsizetype mark = entry.indexOf(QRegularExpression(QStringLiteral("[@/|]")));
        const QString name = entry.left(mark);
        const QString kind = mark < 0 ? QString() : entry.mid(mark);
        const QString path = dir.filePath(name);
        if (kind.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (kind == "@") {
            QFile target(elsewhere.filePath(name));
            QVERIFY(target.open(QIODevice::WriteOnly));
            QVERIFY(QFile::link(target.fileName(), path));
        } else if (kind == "@?") {
            QVERIFY(QFile::link(elsewhere.filePath(QStringLiteral("gone")), path));
        } else if (kind == "/") {
            QVERIFY(QDir().mkdir(path));
        } else {
            QVERIFY(mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        }
    }
    const QString here = QDir::currentPath();
    const auto back = qScopeGuard([&here] { QDir::setCurrent(here); });
    if (relative)
        QVERIFY(QDir::setCurrent(dir.path()));
    QCOMPARE(RecordingFile::existingLaterParts(relative ? first : dir.filePath(first)), parts);
}

void tst_Recording::recordingsUnderOneName_data()
{
    // Recordings one after another under the name dive.DB, of frames of two records, with
    // parts of four records: every part but the last holds two frames. Each recording is made
    // as the program makes it after the operator agreed to replace what stands under its
    // names, and an hour after the one before.
    QTest::addColumn<QList<int>>("lengths"); // frames of each recording, in order
    QTest::addColumn<QString>("meanwhile");  // what happened after the first recording
    QTest::newRow("long, short, long again") << QList<int>{8, 1, 8} << QString();
    QTest::newRow("long, three parts, longer") << QList<int>{8, 5, 12} << QString();
    // Made elsewhere, copied here file by file in the shell's order of names, the time of
    // each copy its own.
    QTest::newRow("thirteen parts copied in name order, recorded over")
        << QList<int>{25, 26} << "copied";
    QTest::newRow("later parts an hour earlier (clock set back), recorded over")
        << QList<int>{8, 8} << "clock set back";
    // The names of its later parts are those of successive recordings "dive", "dive_1", ...:
    // a short retake of "dive" leaves the recording "dive_1" whole.
    QTest::newRow("a separate recording dive_1, then a short retake of dive")
        << QList<int>{1, 1} << "dive_1 recorded";
}

void tst_Recording::recordingsUnderOneName()
{
    QFETCH(QList<int>, lengths);
    QFETCH(QString, meanwhile);
    const quint64 limit = 4 * quint64(packetSize);
    QTemporaryDir dir, source;
    const QString first = dir.filePath(QStringLiteral("dive.DB"));
    QMap<QString, QList<quint32>> others; // other recordings in the folder: first part, frames
    for (int r = 0; r < lengths.size(); ++r) {
        const bool copied = r == 0 && meanwhile == QLatin1String("copied");
        const QString folder = copied ? source.path() : dir.path();
        const QString target = QDir(folder).filePath(QStringLiteral("dive.DB"));
        const QStringList before = snapshotOf(folder);
        const quint32 from = quint32(r + 1) * 1000;
        const QList<quint32> serials = frames(from, from + quint32(lengths[r]) - 1, 2);
        QString error;
        QVERIFY2(recordOver(target, serials, limit, &error), qPrintable(error));

        // The parts of this recording (after a last full part, the next one was begun), beside
        // whatever it did not reach, exactly as it was; a replay reads this recording whole,
        // every frame in order, and every other recording there still reads whole.
        QStringList parts;
        for (int i = 0; i < lengths[r] / 2 + 1; ++i)
            parts << QFileInfo(RecordingFile::partPath(target, i)).fileName();
        QStringList kept, names = parts;
        for (const QString &entry : before) {
            const QString name = entry.section(QLatin1Char('|'), 0, 0);
            names << name;
            if (!parts.contains(name))
                kept << entry;
        }
        QCOMPARE(snapshotOf(folder, parts), kept);
        names.removeDuplicates();
        names.sort();
        QCOMPARE(entriesOf(folder), names);
        QCOMPARE(replayedSerials(target), serials.mid(0, serials.size() - 1));
        for (auto other = others.cbegin(); other != others.cend(); ++other)
            QCOMPARE(replayedSerials(other.key()), other.value());

        if (copied) {
            const QStringList order = QDir(source.path()).entryList(QDir::Files, QDir::Name);
            QCOMPARE(order.mid(0, 6), (QStringList{"dive.DB", "dive_1.DB", "dive_10.DB",
                                                   "dive_11.DB", "dive_12.DB", "dive_2.DB"}));
            for (int i = 0; i < order.size(); ++i) {
                QVERIFY(QFile::copy(source.filePath(order[i]), dir.filePath(order[i])));
                QVERIFY(setModified(dir.filePath(order[i]), i - 3600));
            }
        }
        if (r == 0 && meanwhile == QLatin1String("clock set back")) {
            for (int i = 2; QFile::exists(RecordingFile::partPath(first, i)); ++i)
                QVERIFY(setModified(RecordingFile::partPath(first, i), -3600));
        }
        if (r == 0 && meanwhile == QLatin1String("dive_1 recorded")) {
            QVERIFY(ageFolder(dir.path()));
            const QString other = dir.filePath(QStringLiteral("dive_1.DB"));
            const QList<quint32> otherSerials = frames(500, 502, 2);
            QVERIFY(recordOver(other, otherSerials, limit, &error));
            QCOMPARE(entriesOf(dir.path()), (QStringList{"dive.DB", "dive_1.DB", "dive_1_1.DB"}));
            others.insert(other, otherSerials.mid(0, otherSerials.size() - 1));
        }
        QVERIFY(ageFolder(dir.path()));
    }
}

void tst_Recording::newRecordingOverAnOldOne_data()
{
    // The old recording, frames 101..105 of three records in parts of two frames: X.DB,
    // X_1.DB, X_2.DB, an hour old. What is done to its parts before the new recording lists
    // them (the operator agrees to replace those listed) and while it runs: "remove:N",
    // "file:N" (another program's file, an hour old), "link:N" (a link to such a file
    // elsewhere), "hardlink:N" (a second name of such a file), "dir:N", "pipe:N", "grow:N",
    // "retime:N", "renew:N" (the same bytes in a new file), "backup:N" (a second name for the
    // part elsewhere), "limit:N" (no file may grow beyond N records).
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("during");
    QTest::addColumn<QList<int>>("replaceable");
    QTest::addColumn<int>("newFrames");
    QTest::addColumn<int>("error"); // what ended the recording; 0: it went on to its end
    QTest::addColumn<QList<QList<quint32>>>("parts"); // X.DB, X_1.DB, ... of the new recording
    QTest::addColumn<QStringList>("entries");         // the folder afterwards
    using Parts = QList<QList<quint32>>;
    const QList<quint32> f1{1, 1, 1}, f2{2, 2, 2}, f3{3, 3, 3}, f4{4, 4, 4}, f5{5, 5, 5},
        f6{6, 6, 6}, f7{7, 7, 7};
    const QList<int> both{1, 2};
    const QStringList three{"X.DB", "X_1.DB", "X_2.DB"};
    QTest::newRow("shorter: the parts it did not reach stay as they were")
        << ""
        << "" << both << 1 << 0 << Parts{f1} << three;
    QTest::newRow("longer: every old part replaced")
        << ""
        << "" << both << 7 << 0 << Parts{f1 + f2, f3 + f4, f5 + f6, f7}
        << QStringList{"X.DB", "X_1.DB", "X_2.DB", "X_3.DB"};
    // Only the name is replaced: the old file keeps its bytes under its other names.
    QTest::newRow("old parts with second names elsewhere")
        << "backup:0,backup:1"
        << "" << both << 3 << 0 << Parts{f1 + f2, f3} << three;
    // The operator agreed to replace them by name: what became of them meanwhile does not matter.
    QTest::newRow("a replaced part grown meanwhile")
        << ""
        << "grow:1" << both << 3 << 0 << Parts{f1 + f2, f3} << three;
    QTest::newRow("a replaced part older meanwhile")
        << ""
        << "retime:1" << both << 3 << 0 << Parts{f1 + f2, f3} << three;
    QTest::newRow("a replaced part renewed meanwhile")
        << ""
        << "renew:1" << both << 3 << 0 << Parts{f1 + f2, f3} << three;
    QTest::newRow("a replaced part removed meanwhile")
        << ""
        << "remove:1" << both << 3 << 0 << Parts{f1 + f2, f3} << three;
    QTest::newRow("a replaced part a second name of another file meanwhile")
        << ""
        << "hardlink:1" << both << 3 << 0 << Parts{f1 + f2, f3} << three;
    QTest::newRow("only a far part left") << "remove:1,remove:2,file:10"
                                          << "" << QList<int>{10} << 3 << 0 << Parts{f1 + f2, f3}
                                          << QStringList{"X.DB", "X_1.DB", "X_10.DB"};
    // Left alone, and the recording ends there; a full part before a regular file there
    // (links followed) gives back its last frame, so that a replay ends with it. What lies
    // beyond stays as it was.
    QTest::newRow("a link under a part name") << "link:1"
                                              << "" << QList<int>{2} << 3 << EEXIST << Parts{f1}
                                              << QStringList{"X.DB", "X_1.DB@", "X_2.DB"};
    QTest::newRow("a directory under a part name")
        << "dir:1"
        << "" << QList<int>{2} << 3 << EEXIST << Parts{f1 + f2}
        << QStringList{"X.DB", "X_1.DB/", "X_2.DB"};
    QTest::newRow("a pipe under a part name")
        << "pipe:1"
        << "" << QList<int>{2} << 3 << EEXIST << Parts{f1 + f2}
        << QStringList{"X.DB", "X_1.DB|", "X_2.DB"};
    QTest::newRow("the only leftover a link")
        << "remove:2,link:1"
        << "" << QList<int>{} << 3 << EEXIST << Parts{f1} << QStringList{"X.DB", "X_1.DB@"};
    QTest::newRow("a file appears under a part name meanwhile")
        << ""
        << "file:3" << both << 7 << EEXIST << Parts{f1 + f2, f3 + f4, f5}
        << QStringList{"X.DB", "X_1.DB", "X_2.DB", "X_3.DB"};
    QTest::newRow("a replaced part turned into a link meanwhile")
        << ""
        << "link:1" << both << 3 << EEXIST << Parts{f1} << QStringList{"X.DB", "X_1.DB@", "X_2.DB"};
    QTest::newRow("a replaced part turned into a directory meanwhile")
        << ""
        << "dir:1" << both << 3 << EEXIST << Parts{f1 + f2}
        << QStringList{"X.DB", "X_1.DB/", "X_2.DB"};
    QTest::newRow("a replaced part turned into a pipe meanwhile")
        << ""
        << "pipe:1" << both << 3 << EEXIST << Parts{f1 + f2}
        << QStringList{"X.DB", "X_1.DB|", "X_2.DB"};
    // Room for one frame and a third of the next: the part ends on its whole frame.
    QTest::newRow("the disk fills in the first part")
        << ""
        << "limit:4" << both << 3 << EFBIG << Parts{f1} << three;
}

void tst_Recording::newRecordingOverAnOldOne()
{
    QFETCH(QString, before);
    QFETCH(QString, during);
    QFETCH(QList<int>, replaceable);
    QFETCH(int, newFrames);
    QFETCH(int, error);
    QFETCH(QList<QList<quint32>>, parts);
    QFETCH(QStringList, entries);
    QTemporaryDir dir, elsewhere;
    const QString first = dir.filePath(QStringLiteral("X.DB"));
    const quint64 limit = 6 * quint64(packetSize);
    QVERIFY(recordOver(first, frames(101, 105, 3), limit));
    QCOMPARE(entriesOf(dir.path()), (QStringList{"X.DB", "X_1.DB", "X_2.DB"}));
    QVERIFY(ageFolder(dir.path()));

    QVERIFY(change(before, first, elsewhere.path()));
    const QStringList elsewhereBefore = snapshotOf(elsewhere.path());
    const QList<int> listed = RecordingFile::existingLaterParts(first);
    QCOMPARE(listed, replaceable);
    RecordingWriter writer(packetSize);
    writer.setPartLimit(limit);
    QVERIFY(writer.open(first, listed));
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto restore = qScopeGuard([&saved] { setrlimit(RLIMIT_FSIZE, &saved); });
    if (during.startsWith(QLatin1String("limit:"))) {
        rlimit low = saved;
        low.rlim_cur = rlim_t(during.section(QLatin1Char(':'), 1).toInt()) * packetSize;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &low) == 0);
    } else {
        QVERIFY(change(during, first, elsewhere.path()));
    }
    QStringList written;
    for (int i = 0; i < parts.size(); ++i)
        written << QFileInfo(RecordingFile::partPath(first, i)).fileName();
    const QStringList untouched = snapshotOf(dir.path(), written);
    const QStringList elsewhereMeanwhile = snapshotOf(elsewhere.path());
    QCOMPARE(feed(writer, frames(1, quint32(newFrames), 3)), error == 0);
    writer.close();
    QVERIFY(setrlimit(RLIMIT_FSIZE, &saved) == 0);
    if (error != 0)
        QCOMPARE(writer.errorString(), qt_error_string(error));

    QCOMPARE(entriesOf(dir.path()), entries);
    QList<quint32> recorded;
    for (int i = 0; i < parts.size(); ++i) {
        QCOMPARE(serialsOf(SimSonar::readRecords(RecordingFile::partPath(first, i))), parts[i]);
        recorded << parts[i];
    }
    // What the recording did not write is exactly as it was, here and under the other names of
    // what it replaced, and a replay reads the new recording and ends with it.
    QCOMPARE(snapshotOf(dir.path(), written), untouched);
    QCOMPARE(snapshotOf(elsewhere.path()), elsewhereMeanwhile);
    for (const QString &entry : elsewhereBefore)
        QVERIFY2(elsewhereMeanwhile.contains(entry), qPrintable(entry));
    QCOMPARE(replayedSerials(first), recorded);
}

void tst_Recording::firstPartWhereTheDialogPoints_data()
{
    // What stands under the name the file dialog chose, made in an empty folder D beside a
    // folder E: "P" another program's file, with a second name "P.bak" beside it; "P->T" a
    // link with the target T ("E/" for E's path); "P/" a directory. P is a name in D, or in E
    // after "E/".
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("made");
    QTest::addColumn<int>("error");       // why the first part could not be opened; 0: it was
    QTest::addColumn<QString>("written"); // the file that holds the recording
    QTest::addColumn<QStringList>("entriesD");
    QTest::addColumn<QStringList>("entriesE");
    QTest::newRow("nothing there")
        << "X.DB" << QStringList{} << 0 << "X.DB" << QStringList{"X.DB"} << QStringList{};
    QTest::newRow("another program's file") << "X.DB" << QStringList{"X.DB"} << 0 << "X.DB"
                                            << QStringList{"X.DB", "X.DB.bak"} << QStringList{};
    // Links are followed, as the dialog's choice: the file they lead to is replaced, in its
    // own folder.
    QTest::newRow("a link to a file elsewhere")
        << "X.DB" << QStringList{"E/target", "X.DB->E/target"} << 0 << "E/target"
        << QStringList{"X.DB@"} << QStringList{"target", "target.bak"};
    QTest::newRow("a relative link to a link to a file elsewhere")
        << "X.DB" << QStringList{"E/target", "X.DB->Y.DB", "Y.DB->E/target"} << 0 << "E/target"
        << QStringList{"X.DB@", "Y.DB@"} << QStringList{"target", "target.bak"};
    QTest::newRow("a relative link to nothing")
        << "X.DB" << QStringList{"X.DB->new.DB"} << 0 << "new.DB" << QStringList{"X.DB@", "new.DB"}
        << QStringList{};
    QTest::newRow("a link to nothing in a folder elsewhere")
        << "X.DB" << QStringList{"E/sub/", "X.DB->E/sub/../new.DB"} << 0 << "E/new.DB"
        << QStringList{"X.DB@"} << QStringList{"new.DB", "sub/"};
    QTest::newRow("links in a loop") << "X.DB" << QStringList{"X.DB->Y.DB", "Y.DB->X.DB"} << ELOOP
                                     << "" << QStringList{"X.DB@", "Y.DB@"} << QStringList{};
    QTest::newRow("a link to a directory")
        << "X.DB" << QStringList{"E/sub/", "X.DB->E/sub"} << EISDIR << "" << QStringList{"X.DB@"}
        << QStringList{"sub/"};
    QTest::newRow("a directory") << "X.DB" << QStringList{"X.DB/"} << EISDIR << ""
                                 << QStringList{"X.DB/"} << QStringList{};
    // 243 bytes: no room for the replacement's temporary name around all of it.
    const QString longName = QString(80, QChar(0x6f5c)) + QStringLiteral(".DB");
    QTest::newRow("a file with a long name")
        << longName << QStringList{longName} << 0 << longName
        << QStringList{longName, longName + ".bak"} << QStringList{};
}

void tst_Recording::firstPartWhereTheDialogPoints()
{
    QFETCH(QString, name);
    QFETCH(QStringList, made);
    QFETCH(int, error);
    QFETCH(QString, written);
    QFETCH(QStringList, entriesD);
    QFETCH(QStringList, entriesE);
    QTemporaryDir d, e;
    const auto place = [&](const QString &path) {
        return path.startsWith(QLatin1String("E/")) ? e.filePath(path.mid(2)) : d.filePath(path);
    };
    for (const QString &entry : made) {
        const qsizetype arrow = entry.indexOf(QLatin1String("->"));
        if (arrow > 0) {
            QString target = entry.mid(arrow + 2);
            if (target.startsWith(QLatin1String("E/")))
                target = e.filePath(target.mid(2));
            QVERIFY(::symlink(QFile::encodeName(target).constData(),
                              QFile::encodeName(place(entry.left(arrow))).constData())
                    == 0);
        } else if (entry.endsWith(QLatin1Char('/'))) {
            QVERIFY(QDir().mkdir(place(entry.chopped(1))));
        } else {
            const QString path = place(entry);
            QVERIFY(writeFile(path, foreignBytes) && setModified(path, -3600));
            QVERIFY(::link(QFile::encodeName(path).constData(),
                           QFile::encodeName(path + QStringLiteral(".bak")).constData())
                    == 0);
        }
    }
    const QStringList beforeD = snapshotOf(d.path()), beforeE = snapshotOf(e.path());

    RecordingWriter writer(packetSize);
    const QString first = d.filePath(name);
    QCOMPARE(writer.open(first), error == 0);
    if (error != 0) {
        QCOMPARE(writer.errorString(), qt_error_string(error));
        QCOMPARE(snapshotOf(d.path()), beforeD);
        QCOMPARE(snapshotOf(e.path()), beforeE);
        return;
    }
    QVERIFY(feed(writer, frames(1, 2, 3)));
    writer.close();
    QCOMPARE(entriesOf(d.path()), entriesD);
    QCOMPARE(entriesOf(e.path()), entriesE);
    QCOMPARE(serialsOf(SimSonar::readRecords(place(written))), (QList<quint32>{1, 1, 1, 2, 2, 2}));
    // The file that stood there keeps its bytes under its other name.
    for (const QString &folder : {d.path(), e.path()}) {
        for (const QString &backup : QDir(folder).entryList({QStringLiteral("*.bak")})) {
            QFile file(QDir(folder).filePath(backup));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), foreignBytes);
        }
    }
}

void tst_Recording::readOnlyLeftoversAsAnOrdinaryUser_data()
{
    // An old recording X.DB, X_1.DB, X_2.DB of an ordinary user, an hour old, replaced by a new
    // one of two parts as that user: the mode of the files and of their folder.
    QTest::addColumn<int>("firstMode");
    QTest::addColumn<int>("laterMode");
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<bool>("whole"); // the new recording was written; else nothing changed
    QTest::newRow("read-only later parts") << 0644 << 0444 << 0755 << true;
    QTest::newRow("everything read-only") << 0444 << 0444 << 0755 << true;
    // A file is replaced only by a new one: in a folder the user may not write, the recording
    // cannot begin, and the old one stays whole.
    QTest::newRow("a folder the user may not write") << 0644 << 0644 << 0555 << false;
}

void tst_Recording::readOnlyLeftoversAsAnOrdinaryUser()
{
    QFETCH(int, firstMode);
    QFETCH(int, laterMode);
    QFETCH(int, folderMode);
    QFETCH(bool, whole);
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("X.DB"));
    const quint64 limit = 6 * quint64(packetSize);
    QVERIFY(recordOver(first, frames(101, 105, 3), limit));
    QVERIFY(ageFolder(dir.path()));
    // Root ignores the mode: the new recording is made in a child that is nobody.
    const bool root = ::geteuid() == 0;
    const uid_t nobody = 65534;
    for (int i = 0; i < 3; ++i) {
        const QByteArray part = QFile::encodeName(RecordingFile::partPath(first, i));
        QVERIFY(::chmod(part.constData(), mode_t(i == 0 ? firstMode : laterMode)) == 0);
        if (root)
            QVERIFY(::lchown(part.constData(), nobody, nobody) == 0);
    }
    const QByteArray folder = QFile::encodeName(dir.path());
    QVERIFY(::chmod(folder.constData(), mode_t(folderMode)) == 0);
    const auto writable = qScopeGuard([&folder] { ::chmod(folder.constData(), 0700); });
    if (root)
        QVERIFY(::chown(folder.constData(), nobody, nobody) == 0);
    const QStringList before = snapshotOf(dir.path());
    const QStringList unreached = snapshotOf(dir.path(), {"X.DB", "X_1.DB"});

    enum Outcome { Recorded, Failed, NoOrdinaryUser };
    std::fflush(nullptr);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        if (root
            && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            ::_exit(NoOrdinaryUser);
        // The folder above must let this user in.
        if (::geteuid() == 0 || ::access(folder.constData(), X_OK) != 0)
            ::_exit(NoOrdinaryUser);
        ::_exit(recordOver(first, frames(1, 3, 3), limit) ? Recorded : Failed);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    if (WEXITSTATUS(status) == NoOrdinaryUser)
        QSKIP("no ordinary user to record as");
    QCOMPARE(WEXITSTATUS(status), int(whole ? Recorded : Failed));
    if (!whole) {
        QCOMPARE(snapshotOf(dir.path()), before);
        return;
    }
    QCOMPARE(entriesOf(dir.path()), (QStringList{"X.DB", "X_1.DB", "X_2.DB"}));
    QCOMPARE(serialsOf(SimSonar::readRecords(first)), (QList<quint32>{1, 1, 1, 2, 2, 2}));
    QCOMPARE(serialsOf(SimSonar::readRecords(RecordingFile::partPath(first, 1))),
             (QList<quint32>{3, 3, 3}));
    QCOMPARE(snapshotOf(dir.path(), {"X.DB", "X_1.DB"}), unreached);
    QCOMPARE(replayedSerials(first), (QList<quint32>{1, 1, 1, 2, 2, 2, 3, 3, 3}));
}

QTEST_GUILESS_MAIN(tst_Recording)
#include "tst_recording.moc"
