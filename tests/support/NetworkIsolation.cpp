#include "NetworkIsolation.h"

#include <QNetworkInterface>

bool inOwnNetworkNamespace()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &i : interfaces) {
        if (i.name() != QLatin1String("lo") && !i.name().startsWith(QLatin1String("kv")))
            return false;
    }
    return true;
}
