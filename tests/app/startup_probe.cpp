// Runs the program's real start-up on the front end given as the first argument, prints what
// the process and its window look like once the window has shown its first frame, one
// "key=value" a line, then closes the window the way an operator would. A second argument, a
// language code, is chosen through the front end's language object before the window closes.
#include "app/Startup.h"
#include "processClass/PackageInfo.h"
#include "showClass/ScreenShot.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <cstdio>

namespace {

void report(const char *key, const QString &value)
{
    std::printf("%s=%s\n", key, qPrintable(value));
}

QString apiName(QSGRendererInterface::GraphicsApi api)
{
    return api == QSGRendererInterface::OpenGL ? QStringLiteral("OpenGL")
                                               : QString::number(int(api));
}

// The native class behind an object that a QML component (such as a wrapper) created.
QString nativeClassName(const QObject *o)
{
    const QMetaObject *mo = o->metaObject();
    while (mo->superClass() && QByteArray(mo->className()).contains("_QML"))
        mo = mo->superClass();
    return QString::fromLatin1(mo->className());
}

} // namespace

int main(int argc, char *argv[])
{
    const QUrl url = QUrl::fromUserInput(QString::fromLocal8Bit(argc > 1 ? argv[1] : ""));
    const QString switchTo = QString::fromLocal8Bit(argc > 2 ? argv[2] : "");
    // Not the program's value: the report shows the one start-up sets.
    packetSize = 0;
    return runKorvessa(argc, argv, url, [switchTo](QObject *root) {
        auto *window = qobject_cast<QQuickWindow *>(root);
        if (!window) {
            std::printf("root is not a window\n");
            std::fflush(stdout);
            return;
        }
        // The language in force when the front end was created, before the first frame.
        report("textAtStart", QCoreApplication::translate("CmdDialog", "断开连接"));
        // Emitted on the render thread; the report is made on the GUI thread.
        QObject::connect(
            window, &QQuickWindow::frameSwapped, window,
            [window, switchTo] {
                report("title", window->title());
                report("size", QStringLiteral("%1x%2").arg(window->width()).arg(window->height()));
                report("visible", window->isVisible() ? "1" : "0");
                report("color", window->color().name());
                report("graphicsApi", apiName(window->rendererInterface()->graphicsApi()));
                report("style", QQuickStyle::name());
                report("organization", QCoreApplication::organizationName());
                report("icon", QGuiApplication::windowIcon().isNull() ? "none" : "set");
                report("packetSize", QString::number(packetSize));
                const QQmlContext *context = qmlEngine(window)->rootContext();
                for (const char *name : {"devName", "userType", "versionNum", "buildTime"})
                    report(name, QLatin1Char('[') + context->contextProperty(name).toString()
                                     + QLatin1Char(']'));
                for (const char *name : {"c_cppShowImage", "c_cppCmdDialog",
                                         "c_cppInformationCenter", "c_cppShowPoint"}) {
                    const QObject *o = window->findChild<QObject *>(QLatin1String(name));
                    report(name, o ? nativeClassName(o) : QStringLiteral("none"));
                }
                const QObject *shot = window->findChild<ScreenShot *>();
                report("screenShot", QString::fromLatin1(shot ? "ScreenShot" : "none"));

                QObject *languageSet =
                    qvariant_cast<QObject *>(context->contextProperty("_mLanguageSet"));
                QString language;
                QMetaObject::invokeMethod(languageSet, "getCurrentLanguage",
                                          Q_RETURN_ARG(QString, language));
                report("language", language);
                if (!switchTo.isEmpty()) {
                    QMetaObject::invokeMethod(languageSet, "setLanguage", Q_ARG(QString, switchTo));
                    QMetaObject::invokeMethod(languageSet, "getCurrentLanguage",
                                              Q_RETURN_ARG(QString, language));
                    report("switchedTo", language);
                    report("textAfterSwitch", QCoreApplication::translate("CmdDialog", "断开连接"));
                }
                std::fflush(stdout);
                window->close();
            },
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
    });
}
