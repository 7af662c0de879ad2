#include "LogCollector.h"

#include <algorithm>
#include <atomic>

namespace {

std::atomic<LogCollector *> activeCollector{nullptr};

QString prefixOf(QtMsgType type)
{
    return QString::number(int(type)) + QLatin1Char(' ');
}

} // namespace

LogCollector::LogCollector()
{
    Q_ASSERT(!activeCollector.load());
    activeCollector.store(this);
    m_previous = qInstallMessageHandler(&LogCollector::handler);
}

LogCollector::~LogCollector()
{
    qInstallMessageHandler(m_previous);
    activeCollector.store(nullptr);
}

void LogCollector::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    LogCollector *self = activeCollector.load();
    if (!self)
        return;
    {
        QMutexLocker lock(&self->m_mutex);
        self->m_lines << prefixOf(type) + text;
    }
    if (self->m_previous)
        self->m_previous(type, context, text);
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
