#include "Startup.h"

#include "app/InformationCenter.h"
#include "app/LanguageSet.h"
#include "app/MainWindow.h"
#include "netClass/CmdDialog.h"
#include "processClass/PackageInfo.h"
#include "showClass/ScreenShot.h"
#include "showClass/ShowImage.h"
#include "showClass/ShowPoint.h"

#include <QApplication>
#include <QDebug>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSGRendererInterface>

void registerFrontEndTypes()
{
    qmlRegisterType<ShowImage>("ShowImage.module", 1, 0, "ShowImage");
    qmlRegisterType<ScreenShot>("ScreenShot.module", 1, 0, "ScreenShot");
    qmlRegisterType<InformationCenter>("InformationCenter.module", 1, 0, "InformationCenter");
    qmlRegisterType<CmdDialog>("CmdDialog.module", 1, 0, "CmdDialog");
    qmlRegisterType<ShowPoint>("ShowPoint.module", 1, 0, "ShowPoint");
}

QString frontEndFault(QObject *root, const QUrl &frontEnd)
{
    if (!root)
        return QStringLiteral("The front end could not be created from ") + frontEnd.toString();
    if (!qobject_cast<QQuickWindow *>(root))
        return QStringLiteral("The front end's root object is not a window: ")
               + QString::fromLatin1(root->metaObject()->className());
    const QStringList missing = MainWindow::missingFrontEndObjects(root);
    if (!missing.isEmpty())
        return QStringLiteral("The front end lacks ") + missing.join(QStringLiteral(", "));
    return QString();
}

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
    registerFrontEndTypes();

    QQmlApplicationEngine engine;
    QQmlContext *context = engine.rootContext();
    context->setContextProperty("devName", QStringLiteral("Korvessa"));
    context->setContextProperty("userType", QStringLiteral(""));
    context->setContextProperty("versionNum", QStringLiteral("V" KORVESSA_VERSION));
    context->setContextProperty("buildTime", QStringLiteral("20260814"));

    // Applies the stored language before the front end exists, so its first frame shows it.
    LanguageSet languageSet(&app, &engine);
    context->setContextProperty("_mLanguageSet", &languageSet);

    QQmlComponent component(&engine, frontEnd);
    QObject *root = component.create();
    qDebug() << component.errors();

    // Without a window holding the back-end objects there is nothing to run and nothing to
    // build the core on: end before any worker starts.
    const QString fault = frontEndFault(root, frontEnd);
    if (!fault.isEmpty()) {
        qCritical().noquote() << fault;
        delete root;
        return 1;
    }

    MainWindow mainWindow(root);
    if (beforeExec)
        beforeExec(root);
    return app.exec();
}
