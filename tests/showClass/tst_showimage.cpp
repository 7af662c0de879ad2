#include "showClass/ScreenShot.h"
#include "showClass/ShowImage.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

class tst_ShowImage : public QObject
{
    Q_OBJECT

private slots:
    void paintsBlackBeforeData();
    void stretchesTheLastPixmap();
    void nullPixmapPaintsNothing();
    void shotWithoutWindowWritesNothing();
    void shotSavesPng();
};

namespace {

QImage paintItem(ShowImage &item, int w, int h)
{
    item.setSize(QSizeF(w, h));
    QImage target(w, h, QImage::Format_ARGB32);
    target.fill(Qt::white);
    QPainter painter(&target);
    item.paint(&painter);
    return target;
}

} // namespace

void tst_ShowImage::paintsBlackBeforeData()
{
    ShowImage item;
    const QImage out = paintItem(item, 300, 200);
    QCOMPARE(out.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(out.pixel(299, 199), qRgb(0, 0, 0));
}

void tst_ShowImage::stretchesTheLastPixmap()
{
    ShowImage item;
    QImage source(800, 800, QImage::Format_RGB32);
    source.fill(qRgb(0, 0, 255));
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            source.setPixel(x, y, qRgb(255, 0, 0));
    item.setPixmap(QPixmap::fromImage(source), true);
    const QImage out = paintItem(item, 101, 51);
    QCOMPARE(out.pixel(0, 0), qRgb(255, 0, 0));
    QCOMPARE(out.pixel(100, 50), qRgb(0, 0, 255));
    QCOMPARE(out.pixel(100, 0), qRgb(0, 0, 255));
    // A resize repaints the same image at the new size.
    const QImage again = paintItem(item, 40, 400);
    QCOMPARE(again.pixel(39, 399), qRgb(0, 0, 255));
    QCOMPARE(again.pixel(0, 150), qRgb(255, 0, 0));
}

void tst_ShowImage::nullPixmapPaintsNothing()
{
    ShowImage item;
    item.setPixmap(QPixmap(), false);
    const QImage out = paintItem(item, 20, 20);
    QCOMPARE(out.pixel(10, 10), qRgb(255, 255, 255));
}

void tst_ShowImage::shotWithoutWindowWritesNothing()
{
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    ScreenShot shot;
    QTest::ignoreMessage(QtWarningMsg, "ScreenShot::shotScreen: no window to capture");
    shot.shotScreen(nullptr);
    QVERIFY(!QDir(dir.path()).exists(QStringLiteral("KXShot")));
    QDir::setCurrent(old);
}

void tst_ShowImage::shotSavesPng()
{
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QQuickWindow window;
    window.setColor(Qt::red);
    window.resize(64, 48);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ScreenShot shot;
    shot.shotScreen(&window);
    const QStringList files = QDir(dir.filePath(QStringLiteral("KXShot"))).entryList(QDir::Files);
    QDir::setCurrent(old);
    QCOMPARE(files.size(), 1);
    QVERIFY(QRegularExpression(
                QStringLiteral("^KXShot_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d-\\d{3}\\.PNG$"))
                .match(files.first())
                .hasMatch());
    const QImage saved(dir.filePath(QStringLiteral("KXShot/") + files.first()), "PNG");
    QCOMPARE(saved.size(), QSize(64, 48) * window.devicePixelRatio());
    QCOMPARE(QColor(saved.pixel(5, 5)), QColor(Qt::red));
}

QTEST_MAIN(tst_ShowImage)
#include "tst_showimage.moc"
