#include "app/InformationCenter.h"

#include <QQmlEngine>
#include <QQuickStyle>
#include <QtQuickTest>

// The panels run against the real state hub; the test files bring QML stand-ins for the
// objects that talk to the sonar or draw with OpenGL.
class FrontEndSetup : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void applicationAvailable()
    {
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        qmlRegisterType<InformationCenter>("InformationCenter.module", 1, 0, "InformationCenter");
    }
};

QUICK_TEST_MAIN_WITH_SETUP(frontend, FrontEndSetup)

#include "tst_frontend_qml.moc"
