#pragma once

#include "support/ByteBuilder.h"
#include "support/LogCollector.h"

#include <QObject>
#include <QStringList>

// Helpers shared by the state-hub tests: a recorder of signal names in emission order, beside
// the byte builder and log collector of the test support library.

// Connects to every parameterless signal of a sender and records their names in order.
class SignalOrder : public QObject
{
    Q_OBJECT
public:
    explicit SignalOrder(QObject *sender);
    QStringList m_names;

public slots:
    void hit();
};
