#include "HubTestSupport.h"

#include <QMetaMethod>

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
    m_names.append(QString::fromLatin1(sender()->metaObject()->method(senderSignalIndex()).name()));
}
