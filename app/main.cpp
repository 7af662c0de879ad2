#include "Startup.h"

int main(int argc, char *argv[])
{
    return runKorvessa(argc, argv,
                       QUrl(QStringLiteral("qrc:/qmlsource/main.qml"), QUrl::TolerantMode));
}
