#include "RecordingWriter.h"

#include <QDebug>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    m_lastOpened = -1;
    m_packetsInFrame = 0;
    m_frameSerial = 0;
    m_error.clear();
    if (!openPart(firstPart))
        return false;
    m_replaceable.assign(replaceable.begin(), replaceable.end());
    std::sort(m_replaceable.begin(), m_replaceable.end());
    return true;
}

bool RecordingWriter::isReplaceable(int index) const
{
    return std::binary_search(m_replaceable.begin(), m_replaceable.end(), index);
}

int RecordingWriter::openLaterPart(const QByteArray &path, int index)
{
    if (isReplaceable(index)) {
        // The operator agreed to replace what stood under this name, so any regular file
        // there now is written over, however it changed meanwhile; never through a link and
        // never into anything else.
        const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) {
            struct stat status;
            int error = EEXIST; // no regular file: not what was to be replaced
            if (::fstat(fd, &status) != 0) {
                error = errno;
            } else if (S_ISREG(status.st_mode)) {
                if (::ftruncate(fd, 0) == 0)
                    return fd;
                error = errno;
            }
            ::close(fd);
            errno = error;
            return -1;
        }
        // A link stands there: the operator is told, as with any file left alone, that a
        // file exists.
        if (errno == ELOOP)
            errno = EEXIST;
        if (errno != ENOENT)
            return -1;
    }
    // Never over a file this recording does not replace.
    return ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NONBLOCK | O_CLOEXEC, 0666);
}

void RecordingWriter::removeUnreachedParts()
{
    // An older recording's part left under this one's names would read as its continuation.
    for (const int index : m_replaceable) {
        if (index <= m_lastOpened)
            continue;
        const QByteArray path = QFile::encodeName(RecordingFile::partPath(m_firstPart, index));
        struct stat status;
        if (::lstat(path.constData(), &status) == 0 && S_ISREG(status.st_mode)
            && ::unlink(path.constData()) != 0)
            qWarning() << "删除先前录制的分段失败" << QFile::decodeName(path)
                       << qt_error_string(errno);
    }
    m_replaceable.clear();
}

bool RecordingWriter::openPart(const QString &path)
{
    m_bytesInPart = 0;
    m_path = path;
    // Opened without waiting: a pipe by this name that nobody reads would otherwise hold the
    // open for good (the GUI thread's for the first part). Writes block as usual afterwards.
    const QByteArray name = QFile::encodeName(path);
    const int fd =
        m_partIndex == 0
            ? ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666)
            : openLaterPart(name, m_partIndex);
    if (fd < 0) {
        m_error = qt_error_string(errno);
    } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        m_error = qt_error_string(errno);
        ::close(fd);
    } else if (m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                           QFileDevice::AutoCloseHandle)) {
        // Unbuffered: every frame goes to the file system in its own write, and a failure
        // shows at that write, not at some later flush.
        m_lastOpened = m_partIndex;
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
    removeUnreachedParts();
}
