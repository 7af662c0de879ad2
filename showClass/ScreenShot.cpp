#include "showClass/ScreenShot.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QImage>
#include <QQuickWindow>

ScreenShot::ScreenShot(QObject *parent) : QObject(parent) {}

ScreenShot::~ScreenShot() = default;

void ScreenShot::shotScreen(QQuickWindow *rootWin)
{
    if (!rootWin) {
        qWarning() << "ScreenShot::shotScreen: no window to capture";
        return;
    }
    QDir dir = QDir::current();
    if (!dir.exists(QStringLiteral("./KXShot")))
        dir.mkpath(QStringLiteral("./KXShot"));
    const QImage image = rootWin->grabWindow();
    const QString name =
        QStringLiteral("./KXShot/KXShot_")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss-zzz"))
        + QStringLiteral(".PNG");
    image.save(name, "PNG", -1);
}
