#pragma once

#include "netClass/BsdSocket.h"

#include <QByteArray>
#include <QStringList>

// True when this process runs in a network namespace of its own, not the host's: another
// namespace than its parent's (ctest, or the shell that ran unshare), with only loopback and
// the "kv" links that tests add themselves. Whatever broadcasts, lists the host's interfaces
// or serves on an address outside 127.0.0.0/8 runs only there.
bool inOwnNetworkNamespace();

// Runs a program to its end, with input (when given) on its standard input; true when it
// succeeded.
bool runCommand(const QString &program, const QStringList &arguments, const QByteArray &input = {});

// Runs one ip(8) command, in this process's namespace; true when it succeeded.
bool ipCommand(const QStringList &arguments);

// A loopback port that was free a moment ago (probe is a fresh TCP or UDP socket), as text, for
// a tool started with it, so that a second run beside this one does not collide.
QString freeLoopbackPort(BsdSocket probe);
