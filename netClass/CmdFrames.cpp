#include "CmdFrames.h"

#include <QStringList>

namespace CmdFrames {

namespace {

QByteArray header(quint8 code)
{
    QByteArray frame("CMD", 3);
    frame.append(char(code));
    return frame;
}

void appendLe16(QByteArray &frame, quint16 v)
{
    frame.append(char(v & 0xff));
    frame.append(char(v >> 8));
}

// Hexadecimal digits with an optional "0x"/"0X" in front; false for anything else.
bool readHex(const QString &text, quint64 *value)
{
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    if (digits.isEmpty())
        return false;
    for (const QChar c : digits) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9'))
              || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
              || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return false;
    }
    bool ok = false;
    *value = digits.toULongLong(&ok, 16);
    return ok;
}

} // namespace

QByteArray typedCommand(const QString &text)
{
    QByteArray frame("CMD", 3);
    const QStringList tokens = text.split(QChar(0x63A5), Qt::KeepEmptyParts);
    for (const QString &token : tokens) {
        quint64 v = 0;
        if (!readHex(token, &v))
            v = 0;
        frame.append(char(v & 0xff));
    }
    return frame;
}

QByteArray versionQuery()
{
    return header(versionCode);
}

QByteArray dataDestination(const QString &address, const QString &port)
{
    const QStringList parts = address.split(QLatin1Char('.'));
    if (parts.size() < 4)
        return {};
    const quint32 p = port.trimmed().toUInt();
    QByteArray frame = header(dataDestinationCode);
    for (int i = 3; i >= 0; --i)
        frame.append(char(parts.at(i).trimmed().toInt() & 0xff));
    appendLe16(frame, quint16(p & 0xffff));
    return frame;
}

QByteArray fpgaRead(quint16 address, quint16 length)
{
    QByteArray frame = header(fpgaReadCode);
    appendLe16(frame, address);
    appendLe16(frame, length);
    return frame;
}

QByteArray fpgaWrite(quint16 address, quint32 value)
{
    QByteArray frame = header(fpgaWriteCode);
    appendLe16(frame, address);
    for (int shift = 24; shift >= 0; shift -= 8)
        frame.append(char((value >> shift) & 0xff));
    return frame;
}

QByteArray upgradePacket(const QByteArray &file, int index)
{
    const qint64 size = file.size();
    const qint64 offset = qint64(index) * upgradeChunkBytes;
    if (index < 0 || index > 0xffff || size > maxUpgradeFileBytes || offset >= size)
        return {};
    QByteArray frame = header(upgradeCode);
    const quint32 size32 = quint32(size);
    appendLe16(frame, quint16(size32 & 0xffff));
    appendLe16(frame, quint16(size32 >> 16));
    appendLe16(frame, quint16(index));
    frame.append(file.constData() + offset,
                 qsizetype(qMin<qint64>(upgradeChunkBytes, size - offset)));
    return frame;
}

UpgradeAck gatherUpgradeAck(QByteArray *gathered, const QByteArray &message)
{
    if (gathered->isEmpty() && isVersionReply(message))
        return UpgradeAck::Ignored;
    gathered->append(message);
    if (gathered->size() < 3)
        return QByteArrayLiteral("OK").startsWith(*gathered) ? UpgradeAck::Incomplete
                                                             : UpgradeAck::Rejected;
    return gathered->size() == 3 && gathered->startsWith("OK") ? UpgradeAck::Accepted
                                                               : UpgradeAck::Rejected;
}

bool isShortCommandCode(quint32 code)
{
    switch (code) {
    case 6:
    case 12:
    case 13:
    case 16:
    case 17:
    case 24:
        return true;
    default:
        return false;
    }
}

QByteArray shortCommand(quint8 code, quint8 value)
{
    QByteArray frame = header(code);
    frame.append(char(value));
    return frame;
}

quint16 hexToU16(const QString &text)
{
    quint64 v = 0;
    if (!readHex(text, &v) || v > 0xffff)
        return 0;
    return quint16(v);
}

quint32 hexToU32(const QString &text)
{
    quint64 v = 0;
    if (!readHex(text, &v) || v > 0xffffffffull)
        return 0;
    return quint32(v);
}

bool isAcknowledgement(const QByteArray &reply)
{
    if (reply.size() < 3 || !reply.startsWith("OK\n"))
        return false;
    return reply.size() == 3 || reply.at(3) == '\0';
}

bool isStatusMessage(const QByteArray &reply)
{
    return reply.size() == 5;
}

bool isVersionReply(const QByteArray &reply)
{
    return reply.size() > 2 && reply.size() != 5 && quint8(reply.at(0)) == versionCode
           && reply.at(1) == '\0';
}

QString versionTextOf(const QByteArray &reply)
{
    if (!isVersionReply(reply))
        return {};
    const QByteArray text = reply.mid(2);
    const qsizetype nul = text.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? text : text.left(nul));
}

ScanNotice scanNoticeOf(const QByteArray &message)
{
    if (message.contains("endofscan"))
        return ScanNotice::EndOfScan;
    if (message.contains("reseting"))
        return ScanNotice::Reseting;
    return ScanNotice::None;
}

QString hexDump(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace CmdFrames
