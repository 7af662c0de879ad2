#pragma once

#include "support/NetworkIsolation.h"

#include <QProcess>
#include <QStringList>

// Runs one "ip" command; true when it succeeded.
inline bool ipCommand(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral("ip"), arguments);
    return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
