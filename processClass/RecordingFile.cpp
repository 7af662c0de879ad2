#include "RecordingFile.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QtEndian>

#include <algorithm>
#include <limits>

#include <dirent.h>
#include <fcntl.h>

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

int laterPartIndex(const QByteArray &base, const QByteArray &name)
{
    const QByteArray prefix = base + '_';
    const QByteArray suffix = QByteArrayLiteral(".DB");
    if (name.size() <= prefix.size() + suffix.size() || !name.startsWith(prefix)
        || !name.endsWith(suffix))
        return 0;
    const QByteArray digits = name.mid(prefix.size(), name.size() - prefix.size() - suffix.size());
    // Ten digits hold every int; more are no part number partPath makes.
    if (digits.size() > 10 || digits.front() == '0')
        return 0;
    qint64 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value <= std::numeric_limits<int>::max() ? int(value) : 0;
}

QList<int> existingLaterParts(const QString &firstPart)
{
    const QFileInfo first(firstPart);
    const QString directory = firstPart.left(firstPart.size() - first.fileName().size());
    const QByteArray base = QFile::encodeName(first.completeBaseName());
    QList<int> found;
    DIR *dir = ::opendir(directory.isEmpty() ? "." : QFile::encodeName(directory).constData());
    if (!dir)
        return found;
    while (const dirent *entry = ::readdir(dir)) {
        const int index = laterPartIndex(base, QByteArray(entry->d_name));
        struct stat status;
        if (index > 0 && ::fstatat(::dirfd(dir), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(status.st_mode))
            found << index;
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end());
    return found;
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
    return {quint64(status.st_size),
            qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

bool continuesRecording(const PartStamp &previous, const PartStamp &next)
{
    return previous.size >= partBytes || next.modified >= previous.modified;
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
