#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QtGlobal>

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

// Path of part `index` of the recording whose first part is firstPart: part 0 is firstPart
// itself, part N (N >= 1) is the first part's complete base name followed by "_N.DB" in the
// same directory. These are exactly the names the replay reader looks for.
QString partPath(const QString &firstPart, int index);

// The parts the replay reads when the operator chooses `chosen`, a file in a directory whose
// regular files are `names`: base.DB (base being the chosen file's complete base name), or the
// chosen file itself when base.DB is not there; then base_1.DB, base_2.DB, ... as long as
// each exists, byte for byte. Names only, in reading order.
QStringList partNames(const QString &chosen, const QSet<QString> &names);

// The frame serial number of a record (its header's frameSerialNum).
quint32 frameSerialOf(const uchar *record);
// Overwrites a record's speed and gamma with the operator's values.
void stamp(uchar *record, float speed, float gamma);

} // namespace RecordingFile
