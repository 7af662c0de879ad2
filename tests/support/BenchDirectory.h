#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

// Benchmarks that write recordings: a fresh directory named prefix-XXXXXX inside base (the
// benchmark's argument, or the current directory when it is empty), deleted with what it
// holds when the benchmark ends. Null, with a message on stderr, when it cannot be made.
std::unique_ptr<QTemporaryDir> benchDirectory(const QString &base, const QString &prefix);

// Before the application object of a benchmark that runs the data path: debug output off and,
// unless one is chosen, the offscreen platform.
void quietOffscreen();
