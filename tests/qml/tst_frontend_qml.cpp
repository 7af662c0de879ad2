#include "app/InformationCenter.h"
#include "app/LanguageSet.h"
#include "app/Startup.h"
#include "netClass/DeviceInfo.h"
#include "support/SimSonarDiscovery.h"

#include <QApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QtQuickTest>

#include <memory>

// What the tests need from the native side beyond the registered types: a sonar's discovery
// record handed to the state hub, as a successful connection does.
class FrontEndTestSupport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    Q_INVOKABLE void giveDeviceInfo(QObject *hub, const QString &name,
                                    const QVariantList &maxRanges)
    {
        SimSonarDiscovery::Config config;
        config.name = name.toUtf8();
        config.modeCount = quint8(maxRanges.size());
        for (int i = 0; i < maxRanges.size() && i < int(config.maxRange.size()); ++i)
            config.maxRange[std::size_t(i)] = maxRanges.at(i).toFloat();
        qobject_cast<InformationCenter *>(hub)->setDeviceInfo(
            DeviceInfo(SimSonarDiscovery::buildReply(config)));
    }
};

// The panels and the main window run against the program's own native types, registered as
// start-up registers them; the test files bring QML stand-ins where a test records calls.
class FrontEndSetup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        registerFrontEndTypes();
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        QQmlContext *context = engine->rootContext();
        context->setContextProperty(QStringLiteral("devName"), QStringLiteral("Korvessa"));
        context->setContextProperty(QStringLiteral("userType"), QString());
        context->setContextProperty(QStringLiteral("versionNum"), QStringLiteral("V5.3"));
        context->setContextProperty(QStringLiteral("buildTime"), QStringLiteral("20260814"));
        m_languageSet = std::make_unique<LanguageSet>(
            qobject_cast<QApplication *>(QCoreApplication::instance()), engine);
        context->setContextProperty(QStringLiteral("_mLanguageSet"), m_languageSet.get());
        context->setContextProperty(QStringLiteral("testSupport"), &m_support);
    }

private:
    std::unique_ptr<LanguageSet> m_languageSet;
    FrontEndTestSupport m_support;
};

int main(int argc, char *argv[])
{
    // A widgets application, as the program's: the command channel holds a progress dialog and
    // the language object takes the application.
    QApplication app(argc, argv);
    FrontEndSetup setup;
    return quick_test_main_with_setup(argc, argv, "frontend", QUICK_TEST_SOURCE_DIR, &setup);
}

#include "tst_frontend_qml.moc"
