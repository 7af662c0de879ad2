#include "Startup.h"

#include "processClass/PackageInfo.h"

#include <QApplication>
#include <QDebug>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSGRendererInterface>

int runKorvessa(int argc, char *argv[], const QUrl &frontEnd,
                const std::function<void(QObject *root)> &beforeExec)
{
    packetSize = 1016;

    // The 3D view draws raw OpenGL under the scene graph, so Qt Quick must use OpenGL.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);

    QApplication app(argc, argv);
    QQuickStyle::setStyle("Basic");
    app.setWindowIcon(QIcon(":/qmlsource/image/icon.png"));
    QCoreApplication::setOrganizationName("nothing");

    QQmlApplicationEngine engine;
    QQmlContext *context = engine.rootContext();
    context->setContextProperty("devName", QStringLiteral("Korvessa"));
    context->setContextProperty("userType", QStringLiteral(""));
    context->setContextProperty("versionNum", QStringLiteral("V5.3"));
    context->setContextProperty("buildTime", QStringLiteral("20260814"));

    QQmlComponent component(&engine, frontEnd);
    QObject *root = component.create();
    qDebug() << component.errors();

    if (!root) {
        // Without a root object there is no window to run and nothing to build the core on.
        qCritical() << "The front end could not be created from" << frontEnd.toString();
        return 1;
    }

    if (beforeExec)
        beforeExec(root);
    return app.exec();
}
