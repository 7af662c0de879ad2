#include "HubTestSupport.h"

#include <QMetaMethod>

namespace {
LogCatcher *activeCatcher = nullptr;
}

LogCatcher::LogCatcher(QtMsgType type)
    : m_type(type)
{
    Q_ASSERT(!activeCatcher);
    activeCatcher = this;
    m_previous = qInstallMessageHandler(&LogCatcher::handler);
}

LogCatcher::~LogCatcher()
{
    qInstallMessageHandler(m_previous);
    activeCatcher = nullptr;
}

void LogCatcher::handler(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (activeCatcher) {
        if (type == activeCatcher->m_type)
            activeCatcher->m_messages.append(msg);
        if (activeCatcher->m_previous)
            activeCatcher->m_previous(type, context, msg);
    }
}

SignalOrder::SignalOrder(QObject *sender)
{
    const QMetaObject *meta = sender->metaObject();
    const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("hit()"));
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == QMetaMethod::Signal && method.parameterCount() == 0)
            connect(sender, method, this, slot);
    }
}

void SignalOrder::hit()
{
    names.append(QString::fromLatin1(sender()->metaObject()->method(senderSignalIndex()).name()));
}
