#include "PartReader.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

PartReader::PartReader(quint16 recordLength) : m_recordLength(recordLength) {}

PartReader::~PartReader()
{
    close();
}

bool PartReader::open(const QByteArray &path)
{
    close();
    m_error.clear();
    m_cutShort = false;
    m_fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status;
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0) {
        m_error = qt_error_string(errno);
        close();
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        m_error = qt_error_string(EINVAL);
        close();
        return false;
    }
    m_stamp = RecordingFile::stampOf(status);
    return true;
}

void PartReader::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_chunkStart = m_chunkEnd = 0;
}

const uchar *PartReader::record(quint32 offset)
{
    const quint64 end = quint64(offset) + m_recordLength;
    if ((offset < m_chunkStart || end > m_chunkEnd) && !fill(offset))
        return nullptr;
    return m_chunk.get() + (offset - m_chunkStart);
}

bool PartReader::fill(quint32 offset)
{
    if (m_fd < 0 || quint64(offset) + m_recordLength > m_stamp.size)
        return false;
    const std::size_t chunkBytes = std::size_t(chunkRecords) * m_recordLength;
    if (!m_chunk)
        m_chunk.reset(new uchar[chunkBytes]);
    // Whole records only, up to the part's size when it was opened.
    const quint64 records = (m_stamp.size - offset) / m_recordLength;
    const std::size_t want = std::size_t(std::min<quint64>(records, chunkRecords)) * m_recordLength;
    std::size_t got = 0;
    while (got < want) {
        const ssize_t n = ::pread(m_fd, m_chunk.get() + got, want - got, off_t(offset + got));
        if (n > 0) {
            got += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        m_cutShort = n == 0;
        m_error = n == 0 ? QString() : qt_error_string(errno);
        m_chunkStart = m_chunkEnd = 0;
        return false;
    }
    m_chunkStart = offset;
    m_chunkEnd = offset + want;
    return true;
}
