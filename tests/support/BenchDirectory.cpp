#include "BenchDirectory.h"

#include <QDir>

#include <cstdio>

std::unique_ptr<QTemporaryDir> benchDirectory(const QString &base, const QString &prefix)
{
    const QString in = base.isEmpty() ? QDir::currentPath() : base;
    auto dir =
        std::make_unique<QTemporaryDir>(QDir(in).filePath(prefix + QStringLiteral("-XXXXXX")));
    if (dir->isValid())
        return dir;
    std::fprintf(stderr, "cannot create a directory in %s\n", qPrintable(in));
    return nullptr;
}

void quietOffscreen()
{
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
