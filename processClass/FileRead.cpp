#include "FileRead.h"

#include "PackageInfo.h"
#include "Processing.h"
#include "RecordingFile.h"
#include "app/InformationCenter.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <filesystem>
#include <iostream>
#include <limits>

#include <sys/mman.h>

namespace {

// Pages of a part behind the replay are given back in steps of this size, so a replay keeps
// little of a 500 MiB part resident, whatever the size of the recording.
constexpr quint32 releaseStep = 32u << 20;

} // namespace

FileRead::FileRead(Processing **inProcessing, InformationCenter **inInfoCenter, QObject *parent)
    : QObject(parent), infoCenter(inInfoCenter), processing(inProcessing)
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
    connect(center, &InformationCenter::sigStopReadFile, this, &FileRead::onStopReadFile);
}

void FileRead::onReadFile(const QString &inFileName)
{
    // One replay at a time: one still running is ended first.
    stop();
    fileName = RecordingFile::localPath(inFileName);
    if (Processing *proc = worker()) {
        proc->clearStopRequest();
        proc->setReplayActive(true);
    }
    emit sigReadingFile();
    finished.store(false);
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
    if (finished.load())
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
    const QFileInfo chosen(fileName);
    const QDir directory(chosen.absolutePath());
    QSet<QString> names;
    for (const QByteArray &name : listFileNames(directory.absolutePath().toUtf8()))
        names.insert(QString::fromUtf8(name));

    // processFile takes a 32-bit length: a larger file (no recorder part is one) is replayed
    // up to the last whole packet below 4 GiB.
    const qint64 maxLength = qint64(std::numeric_limits<quint32>::max() / packetSize) * packetSize;
    for (const QString &part : RecordingFile::partNames(fileName, names)) {
        if (stopAsked() || !proc)
            break;
        QFile file(directory.filePath(part));
        // Only regular files: a pipe by the chosen name would block the open for good.
        if (!names.contains(part) || !file.open(QIODevice::ReadOnly)) {
            qWarning().noquote() << "打开" << part << "失败";
            break;
        }
        if (center)
            center->f_setFileStatusReading();
        const qint64 size = file.size();
        const qint64 length = std::min(size, maxLength);
        if (size > length)
            qWarning().noquote() << part << "大于 4 GiB，只回放前" << length << "字节";
        if (length == 0) {
            proc->processFile(nullptr, 0);
            continue;
        }
        // Mapped, not copied: the part is read as the replay goes, and what it has passed is
        // given back.
        uchar *bytes = file.map(0, length);
        if (!bytes) {
            qWarning().noquote() << "文件读取失败" << file.fileName() << file.errorString();
            break;
        }
        quint32 released = 0;
        proc->processFile(bytes, quint32(length), [&](quint32 consumed) {
            const quint32 upTo = consumed - consumed % releaseStep;
            if (upTo > released) {
                ::madvise(bytes + released, upTo - released, MADV_DONTNEED);
                released = upTo;
            }
        });
        file.unmap(bytes);
    }
    if (proc)
        proc->setReplayActive(false);
    finished.store(true);
    if (center)
        emit center->sigStopReadFile();
}

// Keeps this class's meta-object code in this object file.
#include "moc_FileRead.cpp"
