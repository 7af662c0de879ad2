#include "RecordingWriter.h"

#include <QDebug>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Creates an empty file for writing that takes the place of the regular file at path: made
// under a hidden temporary name beside it and renamed onto path. The old file loses this one
// name only, so its other names (a backup made with hard links) keep their bytes; its mode
// does not matter in a folder the operator may write; and after any failure the old file is
// still there as it was. -1 with errno when it fails, EEXIST when something other than a
// regular file has come to stand under path meanwhile.
int replaceRegularFile(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray directory = path.left(slash + 1);
    QByteArray base = path.mid(slash + 1);
    // Room for the marks around it in a name of at most 255 bytes, cut before a character.
    constexpr qsizetype kept = 200;
    if (base.size() > kept) {
        qsizetype cut = kept;
        while (cut > 0 && (uchar(base.at(cut)) & 0xc0) == 0x80)
            --cut;
        base.truncate(cut);
    }
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = directory + '.' + base + '.'
                    + QByteArray::number(QRandomGenerator::global()->generate64(), 16) + ".tmp";
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return -1;
    }
    if (fd < 0)
        return -1;
    // Looked at again right before: rename would put the new file in place of whatever stands
    // there now (a link, a directory, a pipe).
    struct stat status;
    int error = 0;
    if (::lstat(path.constData(), &status) == 0) {
        if (!S_ISREG(status.st_mode))
            error = EEXIST;
    } else if (errno != ENOENT) {
        error = errno;
    }
    if (error == 0) {
        if (::rename(temporary.constData(), path.constData()) == 0)
            return fd;
        error = errno;
    }
    ::unlink(temporary.constData());
    ::close(fd);
    errno = error;
    return -1;
}

// Opens the first part, which the operator chose in the file dialog (which asked before
// replacing a file): a link there is followed, as open(2) would follow it, and the regular file
// it ends in is replaced in its own folder. What is no regular file (a pipe, a device, a
// directory) is opened as it is, and a directory fails then.
int openFirstPart(const QByteArray &name)
{
    QByteArray path = name;
    for (int links = 0;; ++links) {
        struct stat status;
        if (::lstat(path.constData(), &status) != 0) {
            if (errno == ENOENT)
                return ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            break;
        }
        if (S_ISREG(status.st_mode))
            return replaceRegularFile(path);
        if (!S_ISLNK(status.st_mode))
            break;
        // As many as the kernel follows.
        if (links == 40) {
            errno = ELOOP;
            return -1;
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.constData(), target, sizeof target);
        if (length < 0)
            break;
        if (length == ssize_t(sizeof target)) {
            errno = ENAMETOOLONG;
            return -1;
        }
        // A relative target is taken from the link's own folder.
        const QByteArray next(target, length);
        path = next.startsWith('/') ? next : path.left(path.lastIndexOf('/') + 1) + next;
    }
    return ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
}

} // namespace

RecordingWriter::RecordingWriter(quint16 packetLength)
    : m_packetLength(packetLength),
      m_frameBuffer(new uchar[std::size_t(maxFramePackets) * packetLength])
{
}

bool RecordingWriter::open(const QString &firstPart, const QList<int> &replaceable)
{
    close();
    m_firstPart = firstPart;
    m_partIndex = 0;
    m_packetsInFrame = 0;
    m_frameSerial = 0;
    m_error.clear();
    m_replaceable.assign(replaceable.begin(), replaceable.end());
    std::sort(m_replaceable.begin(), m_replaceable.end());
    return openPart(firstPart);
}

bool RecordingWriter::isReplaceable(int index) const
{
    return std::binary_search(m_replaceable.begin(), m_replaceable.end(), index);
}

int RecordingWriter::openLaterPart(const QByteArray &path, int index)
{
    if (isReplaceable(index)) {
        // The operator agreed to replace what stood under this name, so any regular file there
        // now is replaced, however it changed meanwhile; never through a link, and never
        // anything else: the operator is told, as with any file left alone, that a file exists.
        struct stat status;
        if (::lstat(path.constData(), &status) == 0) {
            if (S_ISREG(status.st_mode))
                return replaceRegularFile(path);
            errno = EEXIST;
            return -1;
        }
        if (errno != ENOENT)
            return -1;
    }
    // Never over a file this recording does not replace.
    return ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NONBLOCK | O_CLOEXEC, 0666);
}

bool RecordingWriter::openPart(const QString &path)
{
    m_bytesInPart = 0;
    m_path = path;
    // Opened without waiting: a pipe by this name that nobody reads would otherwise hold the
    // open for good (the GUI thread's for the first part). Writes block as usual afterwards.
    const QByteArray name = QFile::encodeName(path);
    const int fd = m_partIndex == 0 ? openFirstPart(name) : openLaterPart(name, m_partIndex);
    if (fd < 0) {
        m_error = qt_error_string(errno);
    } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        m_error = qt_error_string(errno);
        ::close(fd);
    } else if (m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                           QFileDevice::AutoCloseHandle)) {
        // Unbuffered: every frame goes to the file system in its own write, and a failure
        // shows at that write, not at some later flush.
        return true;
    } else {
        m_error = m_file.errorString();
        ::close(fd);
    }
    qDebug() << "保存文件失败" << path << m_error;
    return false;
}

bool RecordingWriter::addRecord(const uchar *record)
{
    if (!m_file.isOpen())
        return false;
    const quint32 serial = RecordingFile::frameSerialOf(record);
    // A run longer than the buffer (a sonar that never advances its serial) goes out in pieces
    // of a full buffer. The part is switched after such a piece too, or one part would grow
    // without end, past what a replay reads of a part; the replay's assembler joins the run
    // across the parts, since it is no frame it could take whole anyway.
    if ((m_packetsInFrame > 0 && serial != m_frameSerial) || m_packetsInFrame == maxFramePackets) {
        if (!writeBuffered())
            return false;
        if (m_bytesInPart >= m_partLimit) {
            // Kept open until the next part is: the full part may have to give back its last
            // frame.
            const int full = ::dup(m_file.handle());
            const quint64 before = m_bytesInPart - m_lastWriteBytes;
            m_file.close();
            ++m_partIndex;
            const QString next = RecordingFile::partPath(m_firstPart, m_partIndex);
            const bool opened = openPart(next);
            // A replay goes on from a full part to whatever regular file (links followed) has
            // the next part's name. When one this recording may not write over is there, the
            // full part ends a frame short of the part size, so that a replay ends with it
            // instead of taking that file for this recording's next part.
            struct stat status;
            if (!opened && full >= 0 && ::stat(QFile::encodeName(next).constData(), &status) == 0
                && S_ISREG(status.st_mode))
                (void)::ftruncate(full, off_t(before));
            if (full >= 0)
                ::close(full);
            if (!opened)
                return fail(m_error);
        }
    }
    std::memcpy(m_frameBuffer.get() + std::size_t(m_packetsInFrame) * m_packetLength, record,
                m_packetLength);
    ++m_packetsInFrame;
    m_frameSerial = serial;
    return true;
}

bool RecordingWriter::writeBuffered()
{
    const qint64 bytes = qint64(m_packetsInFrame) * m_packetLength;
    m_packetsInFrame = 0;
    const char *data = reinterpret_cast<const char *>(m_frameBuffer.get());
    qint64 done = 0;
    // A short write is retried, so that a full disk or a size limit shows as an error.
    while (done < bytes) {
        const qint64 written = m_file.write(data + done, bytes - done);
        if (written <= 0)
            break;
        done += written;
    }
    if (done == bytes) {
        m_bytesInPart += quint64(bytes);
        m_lastWriteBytes = quint64(bytes);
        return true;
    }
    const QString reason = m_file.errorString();
    // What did reach the disk of this frame is cut off again: the part ends on a whole frame.
    m_file.resize(qint64(m_bytesInPart));
    return fail(reason);
}

bool RecordingWriter::fail(const QString &reason)
{
    m_error = reason;
    m_file.close();
    m_packetsInFrame = 0;
    return false;
}

void RecordingWriter::close()
{
    m_packetsInFrame = 0;
    if (m_file.isOpen())
        m_file.close();
}
