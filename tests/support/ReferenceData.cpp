#include "ReferenceData.h"

#include <QFile>
#include <QtGlobal>

QList<QList<QByteArray>> readReferenceLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open reference file %s", qPrintable(path));
    QList<QList<QByteArray>> lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            lines.append(line.simplified().split(' '));
    }
    return lines;
}

std::vector<double> ReferenceFields::reals(int n)
{
    std::vector<double> v;
    for (int i = 0; i < n; ++i)
        v.push_back(real());
    return v;
}
