#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Wire formats of the command channel: every host frame starts "CMD" and a code byte and
// carries no length; device messages are classified by their content, always within the
// bytes actually received. No sockets here, so each rule can be checked on its own.
namespace CmdFrames {

constexpr quint8 versionCode = 0x4E;
constexpr quint8 dataDestinationCode = 0x00;
constexpr quint8 fpgaReadCode = 0xFF;
constexpr quint8 fpgaWriteCode = 0xFE;
constexpr quint16 defaultFpgaReadLength = 4;
constexpr quint8 upgradeCode = 0xA5;
constexpr int upgradeHeaderBytes = 10;
constexpr int upgradeChunkBytes = 768;
constexpr qint64 maxUpgradeFileBytes = 10485752; // 13654 packets: the index fits 16 bits

// A command text is tokens joined by "接"; each token is one byte in hexadecimal, with or
// without "0x". A token that is not such a number (an empty one too) gives 0x00; a larger
// number keeps its low 8 bits.
QByteArray typedCommand(const QString &text);

QByteArray versionQuery();

// "CMD", 0, the address's octets last first, the port little-endian. An address of fewer
// than four dot-separated parts gives an empty array: there is nothing sane to send.
QByteArray dataDestination(const QString &address, const QString &port);

QByteArray fpgaRead(quint16 address, quint16 length);
// The value goes most significant byte first, unlike every other integer on the channel.
QByteArray fpgaWrite(quint16 address, quint32 value);

// Packet number index of the firmware upgrade of file: "CMD", 0xA5, the file size (32 bits), the index
// (16 bits), then the file's bytes from index x 768, at most 768 of them. Empty when the
// packet would lie beyond the file or the file is larger than an upgrade may be.
QByteArray upgradePacket(const QByteArray &file, int index);

// The device acknowledges each upgrade packet with exactly three bytes beginning "OK". TCP
// may hand them over in pieces, so they are gathered message by message: Incomplete while
// what has come may still become one, Ignored for a version reply that came late (it
// answers an earlier query, not this packet; nothing is gathered from it).
enum class UpgradeAck { Incomplete, Accepted, Rejected, Ignored };
UpgradeAck gatherUpgradeAck(QByteArray *gathered, const QByteArray &message);

// The codes the device takes as five-byte short commands.
bool isShortCommandCode(quint32 code);
QByteArray shortCommand(quint8 code, quint8 value);

// Register addresses and values typed by the operator: hexadecimal, "0x" allowed; text that
// does not read or does not fit gives 0.
quint16 hexToU16(const QString &text);
quint32 hexToU32(const QString &text);

// "OK", line feed, NUL compared against the first four bytes of a zero-cleared buffer, so
// the three bytes "OK\n" alone count as well.
bool isAcknowledgement(const QByteArray &reply);

// Exactly five bytes: a status message of the device.
bool isStatusMessage(const QByteArray &reply);

// 0x4E 0x00 and UTF-8 text up to a NUL or the end of what arrived; more than two bytes and
// not exactly five (which is a status message).
bool isVersionReply(const QByteArray &reply);
QString versionTextOf(const QByteArray &reply);

enum class ScanNotice { None, EndOfScan, Reseting };
// "endofscan" anywhere wins over "reseting" anywhere.
ScanNotice scanNoticeOf(const QByteArray &message);

// Upper-case hexadecimal pairs separated by single spaces, e.g. "43 4D 44 FF".
QString hexDump(const QByteArray &bytes);

} // namespace CmdFrames
