#include "RecordingFile.h"

#include <QFileInfo>
#include <QUrl>
#include <QtEndian>

namespace RecordingFile {

QString localPath(const QString &url)
{
    const QUrl parsed(url);
    return parsed.isLocalFile() ? parsed.toLocalFile() : url;
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

QStringList partNames(const QString &chosen, const QSet<QString> &names)
{
    const QFileInfo info(chosen);
    const QString base = info.completeBaseName();
    const QString first = base + QStringLiteral(".DB");
    // "dive.db" on a file system that tells cases apart: the chosen file is the recording.
    QStringList parts{names.contains(first) || !names.contains(info.fileName()) ? first : info.fileName()};
    for (int n = 1; n <= names.size(); ++n) {
        const QString next = base + QLatin1Char('_') + QString::number(n) + QStringLiteral(".DB");
        if (!names.contains(next))
            break;
        parts << next;
    }
    return parts;
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
