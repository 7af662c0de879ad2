#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QtGlobal>

#include <sys/stat.h>

// The recording file (".DB"): headerless records of one packet each, the packet as the receiver
// stored it with the operator's speed and gamma stamped into its header. A recording is split
// into parts after a whole frame once a part holds partBytes: X.DB, X_1.DB, X_2.DB, ...
// Pure functions shared by the recorder and the replay reader.
namespace RecordingFile {

// A part is closed after the frame that brings it to this many bytes (500 MiB).
constexpr quint64 partBytes = 524288000;
// Where the stamps go in a record's header (little-endian 32-bit floats).
constexpr int speedOffset = 100;
constexpr int gammaOffset = 168;
constexpr int frameSerialOffset = 20;

// The local path of a file URL from the front end's dialogs ("file:///home/x/a.DB" gives
// "/home/x/a.DB"); a text that is no URL is taken as a path already.
QString localPath(const QString &url);
// The same path in the file system's own bytes. An escaped byte that is no UTF-8 (%E9, as a
// dialog writes a name copied from another system) stays that byte.
QByteArray localPathBytes(const QString &url);

// Path of part `index` of the recording whose first part is firstPart: part 0 is firstPart
// itself, part N (N >= 1) is the first part's complete base name followed by "_N.DB" in the
// same directory. These are exactly the names the replay reader looks for.
QString partPath(const QString &firstPart, int index);

// The part number N of a file name that is exactly base + "_N.DB" (N in plain decimal: no
// sign, no leading zero, 1 up to the largest int), 0 for any other name. The names of the
// later parts partPath makes for a first part whose complete base name is base.
int laterPartIndex(const QByteArray &base, const QByteArray &name);
// The later parts (N >= 1, ascending) of the recording whose first part is firstPart under
// whose names a regular file stands, from one listing of the directory. Links are not
// followed: a link is nobody's part.
QList<int> existingLaterParts(const QString &firstPart);

// The parts the replay reads when the operator chooses the file `chosen` (a name, in the file
// system's bytes) in a directory whose regular files are `names`: base.DB (base being the
// chosen name up to its last '.'), or the chosen file itself when base.DB is not there; then
// base_1.DB, base_2.DB, ... as long as each exists, byte for byte. Names only, in reading order.
QList<QByteArray> partNames(const QByteArray &chosen, const QSet<QByteArray> &names);

// What the replay and the recorder compare of two parts: the size and the time of the last
// change of each (nanoseconds since the epoch).
struct PartStamp
{
    quint64 size = 0;
    qint64 modified = 0;
    bool operator==(const PartStamp &other) const
    {
        return size == other.size && modified == other.modified;
    }
};
PartStamp stampOf(const struct stat &status);

// Whether the replay goes on from a part to the file under the next part's name. A part of
// partBytes or more always had a successor (the recorder begins a part only after a full one);
// after a shorter part the next file belongs to the recording only if it was written after
// that part. So the later parts an older recording under the same name left behind are not
// replayed as this one's, and every recording as the recorder writes it reads as before.
bool continuesRecording(const PartStamp &previous, const PartStamp &next);

// The frame serial number of a record (its header's frameSerialNum).
quint32 frameSerialOf(const uchar *record);
// Overwrites a record's speed and gamma with the operator's values.
void stamp(uchar *record, float speed, float gamma);

} // namespace RecordingFile
