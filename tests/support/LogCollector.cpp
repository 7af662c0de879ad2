#include "LogCollector.h"

#include <algorithm>
#include <mutex>

namespace {

// Guards which collector is active and its previous handler, so that a message logged on
// another thread meets either no collector or a whole one, never one being built or torn down.
std::mutex activeMutex;
LogCollector *activeCollector = nullptr;

QString prefixOf(QtMsgType type)
{
    return QString::number(int(type)) + QLatin1Char(' ');
}

} // namespace

LogCollector::LogCollector()
{
    std::lock_guard<std::mutex> lock(activeMutex);
    Q_ASSERT(!activeCollector);
    m_previous = qInstallMessageHandler(&LogCollector::handler);
    activeCollector = this;
}

LogCollector::~LogCollector()
{
    std::lock_guard<std::mutex> lock(activeMutex);
    qInstallMessageHandler(m_previous);
    activeCollector = nullptr;
}

void LogCollector::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    QtMessageHandler previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(activeMutex);
        LogCollector *self = activeCollector;
        if (!self)
            return;
        QMutexLocker linesLock(&self->m_mutex);
        self->m_lines << prefixOf(type) + text;
        previous = self->m_previous;
    }
    if (previous)
        previous(type, context, text);
}

QStringList LogCollector::lines() const
{
    QMutexLocker lock(&m_mutex);
    return m_lines;
}

QStringList LogCollector::messages(QtMsgType type) const
{
    const QString prefix = prefixOf(type);
    QMutexLocker lock(&m_mutex);
    QStringList texts;
    for (const QString &line : m_lines)
        if (line.startsWith(prefix))
            texts << line.mid(prefix.size());
    return texts;
}

bool LogCollector::contains(QtMsgType type, const QString &part) const
{
    const QString prefix = prefixOf(type);
    QMutexLocker lock(&m_mutex);
    return std::any_of(m_lines.cbegin(), m_lines.cend(), [&](const QString &line) {
        return line.startsWith(prefix) && line.contains(part);
    });
}

void LogCollector::clear()
{
    QMutexLocker lock(&m_mutex);
    m_lines.clear();
}
