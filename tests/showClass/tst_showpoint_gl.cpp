// The 3D view drawn with real OpenGL in a 1080 by 800 window: the compass, points of known
// bearing, the image slice of a stacked volume, palettes, and what the item does with
// requests made before its renderer exists or with a window too small for the view.
#include "ShowPointWindow.h"

#include "processClass/ColorTable.h"
#include "processClass/PointCloudCache.h"
#include "showClass/ViewMath.h"

#include <QPainter>
#include <QQuickPaintedItem>
#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <deque>
#include <limits>

namespace {

QRgb pointColour(int entry)
{
    const auto map = ViewMath::pointColorMap();
    return qRgb(int(std::lround(map[4 * entry] * 255)), int(std::lround(map[4 * entry + 1] * 255)),
                int(std::lround(map[4 * entry + 2] * 255)));
}

QRgb slicePaletteColour(int palette, int byte)
{
    const int entry = std::min(1023, int(byte / 255.0 * 1024));
    return ColorTable::instance().palette(palette)[entry];
}

QString describe(const QImage &frame, QPoint p)
{
    return QStringLiteral("pixel (%1, %2) is %3")
        .arg(p.x())
        .arg(p.y())
        .arg(QColor(frame.pixel(p)).name());
}

// An 800 by 800 image whose four quadrants hold the given high bytes (top left, top right,
// bottom left, bottom right).
ImageFrame quadrants(int tl, int tr, int bl, int br, float maxDist)
{
    ImageFrame f;
    f.cols = 800;
    f.rows = 800;
    f.n = 1;
    f.header.speed = 1000;
    f.header.maxDist = maxDist;
    f.image.resize(800 * 800);
    for (int r = 0; r < 800; ++r)
        for (int c = 0; c < 800; ++c) {
            const int v = r < 400 ? (c < 400 ? tl : tr) : (c < 400 ? bl : br);
            f.image[r * 800 + c] = quint16(v << 8 | 0x7F);
        }
    return f;
}

// A plain Qt Quick item painted in one colour, as the front end's panels lie over the view.
class Patch : public QQuickPaintedItem
{
public:
    explicit Patch(QQuickItem *parent) : QQuickPaintedItem(parent) {}
    void paint(QPainter *painter) override
    {
        painter->fillRect(boundingRect(), QColor(255, 0, 255));
    }
};

} // namespace

class tst_ShowPointGl : public QObject
{
    Q_OBJECT

public:
    static void initMain() { ShowPointWindow::selectGraphics(); }

private slots:
    void init();
    void compassAxes_data();
    void compassAxes();
    void pointsAtTheirBearings();
    void pointsStayOnePixel_data();
    void pointsStayOnePixel();
    void requestsBeforeTheFirstFrameAreDropped();
    void paletteAndSliceSwitch();
    void windowTooSmallDrawsNothing();
    void volumeFaceOn();
    void sliceSizeFollowsTheSelectedImage();
    void damagedRangeKeepsTheSliceSize_data();
    void damagedRangeKeepsTheSliceSize();
    void sceneDrawsOverTheView();
    void deletedItemStopsDrawing();
};

void tst_ShowPointGl::init()
{
    PointCloudCache::instance().clear();
    PointCloudCache::instance().setFrames({});
}

void tst_ShowPointGl::compassAxes_data()
{
    QTest::addColumn<double>("pitch");
    QTest::addColumn<double>("roll");
    QTest::addColumn<QRgb>("right");
    QTest::addColumn<QRgb>("up");
    QTest::addColumn<QRgb>("left");
    QTest::addColumn<QRgb>("down");
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255), none = 0;
    // The arrows point where the model's axes go on screen (Z turns down when pitched 90).
    QTest::newRow("level") << 0.0 << 0.0 << red << green << none << none;
    QTest::newRow("pitch 90") << 90.0 << 0.0 << red << none << none << blue;
    QTest::newRow("roll 90") << 0.0 << 90.0 << none << red << green << none;
    QTest::newRow("pitch 90, roll 90") << 90.0 << 90.0 << none << none << green << blue;
    QTest::newRow("roll 180") << 0.0 << 180.0 << none << none << red << green;
}

void tst_ShowPointGl::compassAxes()
{
    QFETCH(double, pitch);
    QFETCH(double, roll);
    QFETCH(QRgb, right);
    QFETCH(QRgb, up);
    QFETCH(QRgb, left);
    QFETCH(QRgb, down);
    ShowPointWindow w;
    w.m_item->setPitch(pitch);
    w.m_item->setRoll(roll);
    QVERIFY(w.show());
    const struct
    {
        QPoint at;
        QRgb colour;
    } expected[] = {{ShowPointWindow::compassAt(45, 0), right},
                    {ShowPointWindow::compassAt(0, 45), up},
                    {ShowPointWindow::compassAt(-46, 0), left},
                    {ShowPointWindow::compassAt(0, -46), down}};
    QImage frame;
    const auto matches = [&] {
        frame = w.grab();
        for (const auto &e : expected) {
            const QRgb got = frame.pixel(e.at);
            if (e.colour ? !ShowPointWindow::sameColour(got, e.colour, 8)
                         : (qRed(got) > 100 || qGreen(got) > 100 || qBlue(got) > 100))
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(matches(), 10000);
}

void tst_ShowPointGl::pointsAtTheirBearings()
{
    ShowPointWindow w;
    QVERIFY(w.show());
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::viewDrawn(w.grab()), 10000);

    // (along-track, x, y, strength): bearings 0, 90 and 180 degrees.
    const float cloud[] = {0, 0, 2, 50, 1, 2, 0, 50, -1, 0, -2, 50};
    PointCloudCache::instance().appendPoints(cloud, 3);
    w.m_item->pointCloudUpdate(packageInfo(), 5.0f);

    // Level camera, scale 100: model X right, Y up, Z towards the viewer; 770 px per 1000 units.
    const double px = 100 * 770.0 / 1000.0;
    const struct
    {
        QPoint at;
        QRgb colour;
    } expected[] = {{ShowPointWindow::atOffset(0, 0), pointColour(0)},
                    {ShowPointWindow::atOffset(px, 2 * px), pointColour(512)},
                    {ShowPointWindow::atOffset(-px, 0), pointColour(1023)}};
    QImage frame;
    const auto drawn = [&] {
        frame = w.grab();
        for (const auto &e : expected)
            if (!ShowPointWindow::colourNear(frame, e.at, e.colour, 3))
                return false;
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(drawn(), 10000);
    // Nothing of theirs away from the points: the slice's dark palette entry.
    QVERIFY2(ShowPointWindow::sameColour(frame.pixel(ShowPointWindow::atOffset(40, -40)),
                                         slicePaletteColour(0, 0), 0),
             qPrintable(describe(frame, ShowPointWindow::atOffset(40, -40))));

    // A pan moves the cloud on screen: a tenth of the width to the right is s * s units.
    const double s = 1000.0 / 770.0;
    emit w.m_item->sigMovePointCloud(0.1f, 0.0f);
    const QPoint moved = ShowPointWindow::atOffset(100 * s, 0);
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::colourNear(w.grab(), moved, pointColour(0), 3),
                             10000);
    // A double click takes it back.
    emit w.m_item->requestReset();
    QTRY_VERIFY_WITH_TIMEOUT(
        ShowPointWindow::colourNear(w.grab(), ShowPointWindow::atOffset(0, 0), pointColour(0), 3),
        10000);
}

void tst_ShowPointGl::pointsStayOnePixel_data()
{
    QTest::addColumn<QString>("pointSize");
    QTest::newRow("20") << QStringLiteral("20");
    QTest::newRow("0") << QStringLiteral("0");
    QTest::newRow("not a number") << QStringLiteral("nan");
    QTest::newRow("infinite") << QStringLiteral("inf");
}

void tst_ShowPointGl::pointsStayOnePixel()
{
    // Whatever the settings panel's point size says, a point covers its own pixel and no more.
    QFETCH(QString, pointSize);
    ShowPointWindow w;
    QVERIFY(w.show());
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::viewDrawn(w.grab()), 10000);
    const float cloud[] = {0, 0, 2, 50};
    PointCloudCache::instance().appendPoints(cloud, 1);
    w.m_item->pointCloudUpdate(packageInfo(), 5.0f);
    w.m_item->f_setPointSize(pointSize);
    const QPoint at = ShowPointWindow::atOffset(0, 0);
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::colourNear(w.grab(), at, pointColour(0), 3), 10000);
    const QImage frame = w.grab();
    for (const QPoint off : {QPoint(4, 0), QPoint(0, 4), QPoint(-4, 0), QPoint(0, -4)})
        QVERIFY2(ShowPointWindow::sameColour(frame.pixel(at + off), slicePaletteColour(0, 0), 0),
                 qPrintable(describe(frame, at + off)));
}

void tst_ShowPointGl::requestsBeforeTheFirstFrameAreDropped()
{
    ShowPointWindow w;
    const float cloud[] = {0, 0, 2, 50};
    PointCloudCache::instance().appendPoints(cloud, 1);
    w.m_item->pointCloudUpdate(packageInfo(), 5.0f);
    w.m_item->f_setColorTable(3);
    emit w.m_item->sigSetWindowHeight(20);
    emit w.m_item->sigMovePointCloud(0.1f, 0.0f);
    QVERIFY(w.show());

    // Drawn at the full size, in palette 0, without the point.
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::viewDrawn(w.grab()), 10000);
    for (int k = 0; k < 3; ++k) {
        const QImage frame = w.grab();
        for (const QPoint p : {ShowPointWindow::atOffset(0, 0), ShowPointWindow::atOffset(30, 30)})
            QVERIFY2(ShowPointWindow::sameColour(frame.pixel(p), slicePaletteColour(0, 0), 0),
                     qPrintable(describe(frame, p)));
    }
}

void tst_ShowPointGl::paletteAndSliceSwitch()
{
    ShowPointWindow w;
    QVERIFY(w.show());
    const QPoint centre = ShowPointWindow::atOffset(10, 10);
    QTRY_VERIFY_WITH_TIMEOUT(
        ShowPointWindow::sameColour(w.grab().pixel(centre), slicePaletteColour(0, 0), 0), 10000);
    const struct
    {
        int index;
        int shown;
    } choices[] = {{3, 3}, {5, 5}, {4, 4}, {9, 4}, {-1, 4}, {0, 0}};
    for (const auto &c : choices) {
        w.m_item->f_setColorTable(c.index);
        QTRY_VERIFY2_WITH_TIMEOUT(
            ShowPointWindow::sameColour(w.grab().pixel(centre), slicePaletteColour(c.shown, 0), 0),
            qPrintable(QStringLiteral("palette %1: ").arg(c.index) + describe(w.grab(), centre)),
            10000);
    }
    // Hiding the slice leaves the window's black behind the points.
    w.m_item->slotDeleteTexture(false);
    QTRY_VERIFY_WITH_TIMEOUT(w.grab().pixel(centre) == qRgb(0, 0, 0), 10000);
    QVERIFY(ShowPointWindow::viewDrawn(w.grab()));
    w.m_item->slotDeleteTexture(true);
    QTRY_VERIFY_WITH_TIMEOUT(
        ShowPointWindow::sameColour(w.grab().pixel(centre), slicePaletteColour(0, 0), 0), 10000);
}

void tst_ShowPointGl::windowTooSmallDrawsNothing()
{
    ShowPointWindow w;
    QVERIFY(w.show());
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::viewDrawn(w.grab()), 10000);
    const QPoint centre = ShowPointWindow::atOffset(10, 10);
    const auto blank = [&] {
        const QImage frame = w.grab();
        return !ShowPointWindow::viewDrawn(frame) && frame.pixel(centre) == qRgb(0, 0, 0);
    };
    emit w.m_item->sigSetWindowHeight(30);
    QTRY_VERIFY_WITH_TIMEOUT(blank(), 10000);
    // A drag meanwhile must not leave a broken pan behind.
    emit w.m_item->sigMovePointCloud(0.1f, 0.1f);
    emit w.m_item->sigSetWindowHeight(800);
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::viewDrawn(w.grab()), 10000);
    QVERIFY(ShowPointWindow::sameColour(w.grab().pixel(centre), slicePaletteColour(0, 0), 0));

    emit w.m_item->sigSetWindowWidth(9);
    QTRY_VERIFY_WITH_TIMEOUT(blank(), 10000);
    emit w.m_item->sigSetWindowWidth(1080);
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::viewDrawn(w.grab()), 10000);

    w.m_item->setScale(0);
    QTRY_VERIFY_WITH_TIMEOUT(blank(), 10000);
    emit w.m_item->sigMovePointCloud(0.1f, 0.1f);
    w.m_item->setScale(100);
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::viewDrawn(w.grab()), 10000);
    QVERIFY(ShowPointWindow::sameColour(w.grab().pixel(centre), slicePaletteColour(0, 0), 0));
}

void tst_ShowPointGl::volumeFaceOn()
{
    // Three stored images of a replay, each with its own four quadrants.
    const int bytes[3][4] = {{0, 255, 128, 64}, {255, 64, 0, 128}, {64, 128, 255, 0}};
    std::deque<ImageFrame> images;
    for (const auto &b : bytes)
        images.push_back(quadrants(b[0], b[1], b[2], b[3], 3.0f));
    PointCloudCache::instance().setFrames(images);

    ShowPointWindow w;
    w.m_item->setPitch(90);
    w.m_item->setRoll(90);
    w.m_item->setScale(50);
    QVERIFY(w.show());
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::viewDrawn(w.grab()), 10000);
    w.m_item->imagesUpdate();

    // Face-on, the image stands upright: its first row at the top, first column at the left,
    // 3 m either side of the centre at scale 50 (115.5 pixels).
    const double q = 50 * 3 * 770.0 / 1000.0 / 2;
    const QPoint at[4] = {ShowPointWindow::atOffset(-q, q), ShowPointWindow::atOffset(q, q),
                          ShowPointWindow::atOffset(-q, -q), ShowPointWindow::atOffset(q, -q)};
    const QPoint outside = ShowPointWindow::atOffset(0, 2.5 * q);
    for (int slice : {0, 2, 1}) {
        w.m_item->setSliceIndex(slice);
        QImage frame;
        const auto shows = [&] {
            frame = w.grab();
            for (int k = 0; k < 4; ++k)
                if (!ShowPointWindow::sameColour(frame.pixel(at[k]),
                                                 slicePaletteColour(0, bytes[slice][k]), 3))
                    return false;
            return frame.pixel(outside) == qRgb(0, 0, 0);
        };
        QTRY_VERIFY2_WITH_TIMEOUT(
            shows(),
            qPrintable(QStringLiteral("slice %1: ").arg(slice) + describe(frame, at[0]) + ", "
                       + describe(frame, at[1]) + ", " + describe(frame, at[2]) + ", "
                       + describe(frame, at[3]) + ", " + describe(frame, outside)),
            10000);
    }
}

void tst_ShowPointGl::sliceSizeFollowsTheSelectedImage()
{
    // Two images 3 m and 1.5 m deep, all white.
    std::deque<ImageFrame> images{quadrants(255, 255, 255, 255, 3.0f),
                                  quadrants(255, 255, 255, 255, 1.5f)};
    PointCloudCache::instance().setFrames(images);
    ShowPointWindow w;
    w.m_item->setPitch(90);
    w.m_item->setRoll(90);
    w.m_item->setScale(50);
    QVERIFY(w.show());
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::viewDrawn(w.grab()), 10000);
    w.m_item->imagesUpdate();

    // A point 2.25 m up lies inside the 3 m square only.
    const QPoint probe = ShowPointWindow::atOffset(0, 50 * 2.25 * 770.0 / 1000.0);
    const QRgb white = slicePaletteColour(0, 255);
    const auto shows = [&](bool inside) {
        const QImage frame = w.grab();
        return ShowPointWindow::viewDrawn(frame)
               && ShowPointWindow::sameColour(frame.pixel(probe), inside ? white : qRgb(0, 0, 0), 3)
               && ShowPointWindow::sameColour(frame.pixel(ShowPointWindow::atOffset(0, 0)), white,
                                              3);
    };
    QTRY_VERIFY_WITH_TIMEOUT(shows(true), 10000);
    w.m_item->setSliceIndex(1);
    QTRY_VERIFY_WITH_TIMEOUT(shows(false), 10000);
    // Back to the first image the slice keeps its size; beyond the stack it keeps it too, and
    // the frame is still drawn.
    w.m_item->setSliceIndex(0);
    for (int k = 0; k < 3; ++k)
        QVERIFY(shows(false));
    w.m_item->setSliceIndex(5);
    for (int k = 0; k < 3; ++k)
        QVERIFY(shows(false));
}

void tst_ShowPointGl::damagedRangeKeepsTheSliceSize_data()
{
    QTest::addColumn<float>("maxDist");
    QTest::newRow("zero") << 0.0f;
    QTest::newRow("negative") << -3.0f;
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("infinite") << std::numeric_limits<float>::infinity();
}

void tst_ShowPointGl::damagedRangeKeepsTheSliceSize()
{
    // The second image's last header carries a range that no sonar sends: its slice keeps
    // the first image's 3 m square, upright, and shows its own quadrants in it.
    QFETCH(float, maxDist);
    const int bytes[2][4] = {{255, 255, 255, 255}, {0, 255, 128, 64}};
    PointCloudCache::instance().setFrames(
        {quadrants(255, 255, 255, 255, 3.0f), quadrants(0, 255, 128, 64, maxDist)});
    ShowPointWindow w;
    w.m_item->setPitch(90);
    w.m_item->setRoll(90);
    w.m_item->setScale(50);
    QVERIFY(w.show());
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::viewDrawn(w.grab()), 10000);
    w.m_item->imagesUpdate();

    const double q = 50 * 3 * 770.0 / 1000.0 / 2;
    const QPoint at[4] = {ShowPointWindow::atOffset(-q, q), ShowPointWindow::atOffset(q, q),
                          ShowPointWindow::atOffset(-q, -q), ShowPointWindow::atOffset(q, -q)};
    for (int slice : {0, 1}) {
        w.m_item->setSliceIndex(slice);
        QImage frame;
        const auto shows = [&] {
            frame = w.grab();
            for (int k = 0; k < 4; ++k)
                if (!ShowPointWindow::sameColour(frame.pixel(at[k]),
                                                 slicePaletteColour(0, bytes[slice][k]), 3))
                    return false;
            return true;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(
            shows(),
            qPrintable(QStringLiteral("slice %1: ").arg(slice) + describe(frame, at[0]) + ", "
                       + describe(frame, at[1]) + ", " + describe(frame, at[2]) + ", "
                       + describe(frame, at[3])),
            10000);
    }
}

void tst_ShowPointGl::sceneDrawsOverTheView()
{
    // The view draws under the scene and leaves it a clean state: items over the main view, over
    // the compass and beside the view all show, frame after frame.
    ShowPointWindow w;
    const QRectF places[] = {{820, 300, 40, 40}, {1030, 80, 40, 40}, {100, 100, 40, 40}};
    for (const QRectF &r : places) {
        auto *patch = new Patch(w.m_window.contentItem());
        patch->setPosition(r.topLeft());
        patch->setSize(r.size());
    }
    QVERIFY(w.show());
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::viewDrawn(w.grab()), 10000);
    for (int k = 0; k < 3; ++k) {
        const QImage frame = w.grab();
        for (const QRectF &r : places) {
            const QPoint p = r.center().toPoint();
            QVERIFY2(frame.pixel(p) == qRgb(255, 0, 255), qPrintable(describe(frame, p)));
        }
        QVERIFY(ShowPointWindow::sameColour(frame.pixel(ShowPointWindow::atOffset(-150, 0)),
                                            slicePaletteColour(0, 0), 0));
    }
}

void tst_ShowPointGl::deletedItemStopsDrawing()
{
    // Deleting the item must leave the window sound: Qt warns when the item's teardown has
    // broken the window's reference counts.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    {
        ShowPointWindow w;
        QVERIFY(w.show());
        QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::viewDrawn(w.grab()), 10000);
        delete w.m_item;
        w.m_item = nullptr;
        const QPoint centre = ShowPointWindow::atOffset(10, 10);
        QTRY_VERIFY_WITH_TIMEOUT(!ShowPointWindow::viewDrawn(w.grab())
                                     && w.grab().pixel(centre) == qRgb(0, 0, 0),
                                 10000);
    }
}

QTEST_MAIN(tst_ShowPointGl)
#include "tst_showpoint_gl.moc"
