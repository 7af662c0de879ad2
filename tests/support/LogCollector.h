#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Collects every log message, from any thread, while it exists; the messages are still passed
// on to the handler installed before. One collector at a time.
class LogCollector
{
public:
    LogCollector();
    ~LogCollector();
    LogCollector(const LogCollector &) = delete;
    LogCollector &operator=(const LogCollector &) = delete;

    // Each message as "<type number> <text>".
    QStringList lines() const;
    // The texts of the messages of one type, in the order they were logged.
    QStringList messages(QtMsgType type) const;
    // True when a message of this type containing part was logged.
    bool contains(QtMsgType type, const QString &part) const;
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text);

    mutable QMutex m_mutex;
    QStringList m_lines;
    QtMessageHandler m_previous = nullptr;
};
