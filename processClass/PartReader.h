#pragma once

#include "RecordingFile.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <memory>

// One part of a recording, read in chunks of whole records with ordinary reads. A part that
// another program cuts short, or whose medium goes away, while it is replayed then gives a
// failed read, where a mapping of it would kill the program at the next page.
class PartReader
{
public:
    // Records read at a time (about 4 MB).
    static constexpr quint32 chunkRecords = 4096;

    explicit PartReader(quint16 recordLength);
    ~PartReader();
    PartReader(const PartReader &) = delete;
    PartReader &operator=(const PartReader &) = delete;

    // Opens a regular file by its path in the file system's bytes, without waiting: a pipe by
    // that name is refused, not waited on. stamp() then holds its size and time of change.
    bool open(const QByteArray &path);
    void close();
    RecordingFile::PartStamp stamp() const { return m_stamp; }

    // The whole record at offset (a multiple of the record length; the record lies inside the
    // size the part had when it was opened), or null when it cannot be read: errorString() says
    // why, and cutShort() tells a part that has become shorter since it was opened.
    const uchar *record(quint32 offset);
    QString errorString() const { return m_error; }
    bool cutShort() const { return m_cutShort; }

private:
    bool fill(quint32 offset);

    const quint16 m_recordLength;
    std::unique_ptr<uchar[]> m_chunk;
    int m_fd = -1;
    RecordingFile::PartStamp m_stamp;
    quint64 m_chunkStart = 0;
    quint64 m_chunkEnd = 0; // m_chunk holds the part's bytes [m_chunkStart, m_chunkEnd)
    QString m_error;
    bool m_cutShort = false;
};
