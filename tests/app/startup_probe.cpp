// Runs the program's real start-up on the front end given as the first argument, prints what
// the process and its window look like once the window has shown its first frame, one
// "key=value" a line, then closes the window the way an operator would.
#include "app/Startup.h"
#include "processClass/PackageInfo.h"

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
    return api == QSGRendererInterface::OpenGL ? QStringLiteral("OpenGL") : QString::number(int(api));
}

} // namespace

int main(int argc, char *argv[])
{
    const QUrl url = QUrl::fromUserInput(QString::fromLocal8Bit(argc > 1 ? argv[1] : ""));
    // Not the program's value: the report shows the one start-up sets.
    packetSize = 0;
    return runKorvessa(argc, argv, url, [](QObject *root) {
        auto *window = qobject_cast<QQuickWindow *>(root);
        if (!window) {
            std::printf("root is not a window\n");
            std::fflush(stdout);
            return;
        }
        // Emitted on the render thread; the report is made on the GUI thread.
        QObject::connect(window, &QQuickWindow::frameSwapped, window, [window] {
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
                report(name, QLatin1Char('[') + context->contextProperty(name).toString() + QLatin1Char(']'));
            std::fflush(stdout);
            window->close();
        }, static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
    });
}
