#include "FileRead.h"

#include "PackageInfo.h"
#include "PartReader.h"
#include "Processing.h"
#include "RecordingFile.h"
#include "app/InformationCenter.h"

#include <QDebug>
#include <QFile>
#include <QSet>
#include <QThread>

#include <filesystem>
#include <iostream>
#include <limits>
#include <new>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray joined(const QByteArray &directory, const QByteArray &name)
{
    if (directory.isEmpty())
        return name;
    return directory.endsWith('/') ? directory + name : directory + '/' + name;
}

// The path the operator chose as the file system spells it. A dialog that lists a name which
// is no UTF-8 hands it over with U+FFFD in place of the bytes it could not decode; such a part
// of the path is taken to be the one entry of its directory that reads the same once decoded.
// Two such entries are not guessed between.
QByteArray spelledOnDisk(const QByteArray &path)
{
    namespace fs = std::filesystem;
    struct stat status;
    if (::lstat(path.constData(), &status) == 0
        || !QFile::decodeName(path).contains(QChar::ReplacementCharacter))
        return path;
    QByteArray resolved = path.startsWith('/') ? QByteArray("/") : QByteArray();
    for (const QByteArray &part : path.split('/')) {
        if (part.isEmpty())
            continue;
        QByteArray next = joined(resolved, part);
        if (::lstat(next.constData(), &status) != 0) {
            const QString shown = QFile::decodeName(part);
            if (!shown.contains(QChar::ReplacementCharacter))
                return path;
            std::error_code error;
            int matches = 0;
            const fs::path directory(resolved.isEmpty() ? std::string(".")
                                                        : resolved.toStdString());
            fs::directory_iterator it(directory, error);
            for (; !error && it != fs::directory_iterator(); it.increment(error)) {
                const QByteArray name = QByteArray::fromStdString(it->path().filename().string());
                if (QFile::decodeName(name) == shown && ++matches == 1)
                    next = joined(resolved, name);
            }
            if (error || matches != 1)
                return path;
        }
        resolved = next;
    }
    return resolved;
}

} // namespace

FileRead::FileRead(Processing **inProcessing, InformationCenter **inInfoCenter, QObject *parent)
    : QObject(parent), m_infoCenter(inInfoCenter), m_processing(inProcessing)
{
    init();
}

FileRead::~FileRead()
{
    stop();
}

void FileRead::init()
{
    InformationCenter *center = hub();
    if (!center)
        return;
    connect(center, &InformationCenter::sigReadFile, this, &FileRead::onReadFile);
    // Called on the thread that emits: the operator's stop comes on the GUI thread, the reader
    // thread's own end on that thread, where it is known whose replay ended.
    connect(
        center, &InformationCenter::sigStopReadFile, this,
        [this] {
            if (QThread::currentThread() == thread()) {
                onStopReadFile();
                return;
            }
            // The GUI thread writes it only while no reader thread runs: this one's replay.
            const quint64 serial = m_replaySerial;
            QMetaObject::invokeMethod(
                this, [this, serial] { onReplayEnded(serial); }, Qt::QueuedConnection);
        },
        Qt::DirectConnection);
}

void FileRead::onReplayEnded(quint64 serial)
{
    // A replay the operator stopped can end while the next one waits for its thread; its end
    // then arrives during the next one and must end nothing of it.
    if (serial == m_replaySerial)
        onStopReadFile();
}

void FileRead::onReadFile(const QString &inFileName)
{
    // One replay at a time: one still running is ended first.
    stop();
    m_fileName = RecordingFile::localPathBytes(inFileName);
    if (Processing *proc = worker()) {
        proc->clearStopRequest();
        proc->setReplayActive(true);
    }
    emit sigReadingFile();
    m_finished.store(false);
    ++m_replaySerial;
    start();
}

void FileRead::onStopReadFile()
{
    qDebug() << "关闭回放的文件指针";
    if (Processing *proc = worker())
        proc->requestStop();
    if (InformationCenter *center = hub())
        center->f_setFileStatusNone();
    // A thread still in a part ends at its next packet and comes back here with its end
    // signal; only a finished one is joined, so the GUI thread never waits for a frame.
    if (m_finished.load())
        WhileThread::stop();
}

void FileRead::stop()
{
    // Processing ends the part at its next packet; without this a stop would wait for the
    // whole recording.
    if (Processing *proc = worker())
        proc->requestStop();
    WhileThread::stop();
}

bool FileRead::stopAsked() const
{
    const Processing *proc = worker();
    return !isRunning() || (proc && proc->isStopRequested());
}

QList<QByteArray> FileRead::listFileNames(const QByteArray &directory)
{
    namespace fs = std::filesystem;
    const fs::path path(directory.toStdString());
    std::error_code error;
    if (!fs::exists(path, error)) {
        std::cerr << "错误: 路径不存在 - " << directory.constData() << std::endl;
        return {};
    }
    if (!fs::is_directory(path, error)) {
        std::cerr << "错误: 路径不是目录 - " << directory.constData() << std::endl;
        return {};
    }
    QList<QByteArray> names;
    fs::directory_iterator it(path, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code entryError;
        if (it->is_regular_file(entryError))
            names << QByteArray::fromStdString(it->path().filename().string());
    }
    if (error)
        std::cerr << "文件系统错误: " << error.message() << std::endl;
    return names;
}

void FileRead::run()
{
    Processing *proc = worker();
    InformationCenter *center = hub();
    try {
        replayParts(proc, center);
    } catch (const std::bad_alloc &) {
        tellFailure(center, m_fileName, tr("内存不足"));
    }
    if (proc)
        proc->setReplayActive(false);
    m_finished.store(true);
    if (center)
        emit center->sigStopReadFile();
}

void FileRead::replayParts(Processing *proc, InformationCenter *center)
{
    QByteArray chosen = spelledOnDisk(m_fileName);
    if (!chosen.startsWith('/')) {
        char here[4096];
        if (::getcwd(here, sizeof here))
            chosen = joined(QByteArray(here), chosen);
    }
    const int slash = chosen.lastIndexOf('/');
    const QByteArray directory = slash < 0    ? QByteArray(".")
                                 : slash == 0 ? QByteArray("/")
                                              : chosen.left(slash);
    const QList<QByteArray> listed = listFileNames(directory);
    const QSet<QByteArray> names(listed.begin(), listed.end());

    // processFile takes a 32-bit length: a larger file (no recorder part is one) is replayed
    // up to the last whole packet below 4 GiB.
    const qint64 maxLength = qint64(std::numeric_limits<quint32>::max() / packetSize) * packetSize;
    PartReader reader(packetSize);
    RecordingFile::PartStamp previous;
    bool firstPart = true;
    for (const QByteArray &part : RecordingFile::partNames(chosen.mid(slash + 1), names)) {
        if (stopAsked() || !proc)
            break;
        const QByteArray path = joined(directory, part);
        // Only regular files: a pipe by the chosen name would block the open for good.
        if (!names.contains(part) || !reader.open(path)) {
            qWarning().noquote() << "打开" << QFile::decodeName(part) << "失败";
            break;
        }
        if (!firstPart && !RecordingFile::continuesRecording(previous, reader.stamp())) {
            qDebug().noquote() << QFile::decodeName(part) << "早于前一部分，属于较早的录制，不回放";
            break;
        }
        firstPart = false;
        previous = reader.stamp();
        if (center)
            center->f_setFileStatusReading();
        const qint64 size = qint64(reader.stamp().size);
        const qint64 length = std::min(size, maxLength);
        if (size > length)
            qWarning().noquote() << QFile::decodeName(part) << "大于 4 GiB，只回放前" << length
                                 << "字节";
        const Processing::PartEnd end = proc->processFile(
            quint32(length), [&reader](quint32 offset) { return reader.record(offset); });
        reader.close();
        if (end == Processing::PartEnd::ReadFailed) {
            qWarning().noquote() << "文件读取失败" << QFile::decodeName(path)
                                 << reader.errorString();
            tellFailure(center, path,
                        reader.cutShort() ? tr("文件在回放中变短了") : reader.errorString());
            break;
        }
        if (end == Processing::PartEnd::OutOfMemory) {
            tellFailure(center, path, tr("内存不足"));
            break;
        }
    }
}

void FileRead::tellFailure(InformationCenter *center, const QByteArray &path, const QString &reason)
{
    qWarning().noquote() << "回放数据失败" << QFile::decodeName(path) << reason;
    if (center)
        emit center->sigTipsCMD(tr("回放数据失败：") + QFile::decodeName(path) + QLatin1Char(' ')
                                + reason);
}

// Keeps this class's meta-object code in this object file.
#include "moc_FileRead.cpp"
