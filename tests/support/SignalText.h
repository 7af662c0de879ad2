#pragma once

#include <QSignalSpy>
#include <QString>

// How many of the signals a spy caught carried this text as their first argument (a tip, a
// channel message).
inline int timesSaid(const QSignalSpy &spy, const QString &text)
{
    int n = 0;
    for (const QList<QVariant> &signal : spy)
        n += signal.at(0).toString() == text ? 1 : 0;
    return n;
}
