#pragma once

#include "RecordingFile.h"

#include <QFile>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

// Writes stamped records to the parts of one recording, a whole frame at a time: records with
// the same frame serial that arrive one after another form a frame, which is written with one
// write when the first record of the next frame arrives. After such a write, a part that holds
// partLimit() bytes or more is closed and the next part opened, so no frame is divided between
// parts. No threads, no clock: the recorder's thread drives it.
class RecordingWriter
{
public:
    // A run of more records with one serial than this is written out in pieces of this size,
    // and parts may switch between its pieces.
    static constexpr int maxFramePackets = 5000;

    explicit RecordingWriter(quint16 packetLength);
    RecordingWriter(const RecordingWriter &) = delete;
    RecordingWriter &operator=(const RecordingWriter &) = delete;

    // The program keeps RecordingFile::partBytes; tests lower it to see parts split.
    void setPartLimit(quint64 bytes) { m_partLimit = bytes; }

    // Opens the first part, which the operator chose, and starts with an empty frame. A regular
    // file under that name (links followed) is replaced by a new one, not written through.
    // False when it cannot be opened (nothing else is touched then); errorString() says why.
    // replaceable: the later parts (RecordingFile::existingLaterParts) that the operator agreed
    // to replace. A regular file under such a name is replaced when the recording reaches that
    // part, and only then: whatever it does not reach stays as it was. Anything else under a
    // later part's name (a file that came later, a link, a directory, a pipe) is left as it is,
    // and the recording ends there as with a part that cannot be opened; its full part before
    // that name then gives back its last frame, so that it is no full part and a replay stops
    // there.
    bool open(const QString &firstPart, const QList<int> &replaceable = {});
    // Takes one record of packetLength bytes. False when a write failed or the next part could
    // not be opened: the writer has closed the recording then (a part cut by a failed write is
    // trimmed back to its whole frames where the file system allows) and errorString() and
    // path() say what failed.
    bool addRecord(const uchar *record);
    // Closes the part being written; the frame in progress is dropped.
    void close();

    QString path() const { return m_path; }
    int partIndex() const { return m_partIndex; }
    QString errorString() const { return m_error; }

private:
    bool isReplaceable(int index) const;
    int openLaterPart(const QByteArray &path, int index);
    bool openPart(const QString &path);
    bool writeBuffered();
    bool fail(const QString &reason);

    const quint16 m_packetLength;
    quint64 m_partLimit = RecordingFile::partBytes;
    std::unique_ptr<uchar[]> m_frameBuffer;
    int m_packetsInFrame = 0;
    quint32 m_frameSerial = 0;
    QString m_firstPart;
    int m_partIndex = 0;
    quint64 m_bytesInPart = 0;
    quint64 m_lastWriteBytes = 0; // of the last frame (or piece of a run) written
    QString m_path;               // of the part being written, or the last one tried
    QFile m_file;
    QString m_error;
    std::vector<int> m_replaceable; // ascending
};
