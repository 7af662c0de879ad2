#pragma once

#include <QNetworkInterface>
#include <QProcess>
#include <QStringList>

// Tests that broadcast or add interfaces run only in a network namespace of their own (the
// netns label puts them there). Such a namespace has loopback and nothing else, apart from the
// "kv" interfaces the tests add themselves; anything more means the host's network.
inline bool inOwnNetworkNamespace()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &i : interfaces) {
        if (i.name() != QLatin1String("lo") && !i.name().startsWith(QLatin1String("kv")))
            return false;
    }
    return true;
}

// Runs one "ip" command; true when it succeeded.
inline bool ipCommand(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral("ip"), arguments);
    return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
