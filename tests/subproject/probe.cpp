// Links the core library from outside the project: its headers by their paths in the tree,
// its resources at their own paths.
#include "app/InformationCenter.h"
#include "processClass/PackageInfo.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int missing = 0;
    for (const char *path : {":/qmlsource/main.qml", ":/qmlsource/image/icon.png"}) {
        const bool there = QFile::exists(QString::fromLatin1(path));
        std::printf("%s %s\n", there ? "found  " : "MISSING", path);
        missing += there ? 0 : 1;
    }
    InformationCenter hub;
    std::printf("state hub built; packet size %d\n", int(packetSize));
    return missing == 0 ? 0 : 1;
}
