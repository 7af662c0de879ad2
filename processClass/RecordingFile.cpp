#include "RecordingFile.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QtEndian>

namespace RecordingFile {

QString localPath(const QString &url)
{
    const QUrl parsed(url);
    return parsed.isLocalFile() ? parsed.toLocalFile() : url;
}

QByteArray localPathBytes(const QString &url)
{
    const QUrl parsed(url);
    if (!parsed.isLocalFile() || !parsed.host().isEmpty())
        return QFile::encodeName(localPath(url));
    return QByteArray::fromPercentEncoding(parsed.path(QUrl::FullyEncoded).toLatin1());
}

QString partPath(const QString &firstPart, int index)
{
    if (index <= 0)
        return firstPart;
    const QFileInfo first(firstPart);
    // The directory part is kept exactly as given.
    return firstPart.left(firstPart.size() - first.fileName().size()) + first.completeBaseName()
        + QLatin1Char('_') + QString::number(index) + QStringLiteral(".DB");
}

QList<QByteArray> partNames(const QByteArray &chosen, const QSet<QByteArray> &names)
{
    const int dot = chosen.lastIndexOf('.');
    const QByteArray base = dot < 0 ? chosen : chosen.left(dot);
    const QByteArray first = base + ".DB";
    // "dive.db" on a file system that tells cases apart: the chosen file is the recording.
    QList<QByteArray> parts{names.contains(first) || !names.contains(chosen) ? first : chosen};
    for (int n = 1; n <= names.size(); ++n) {
        const QByteArray next = base + '_' + QByteArray::number(n) + ".DB";
        if (!names.contains(next))
            break;
        parts << next;
    }
    return parts;
}

PartStamp stampOf(const struct stat &status)
{
    return {quint64(status.st_size), qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

bool continuesRecording(const PartStamp &previous, const PartStamp &next)
{
    return previous.size >= partBytes || next.modified >= previous.modified;
}

bool isNextPart(const PartStamp &previous, const PartStamp &next, quint64 partLimit)
{
    return previous.size >= partLimit && next.modified >= previous.modified;
}

quint32 frameSerialOf(const uchar *record)
{
    return qFromLittleEndian<quint32>(record + frameSerialOffset);
}

void stamp(uchar *record, float speed, float gamma)
{
    qToLittleEndian<float>(speed, record + speedOffset);
    qToLittleEndian<float>(gamma, record + gammaOffset);
}

} // namespace RecordingFile
