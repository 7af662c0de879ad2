// The 3D view without OpenGL: screen regions, camera, panning, colour maps, the volume built
// from stored images, and the item's properties, signals and window hooks.
#include "ShowPointWindow.h"

#include "processClass/ColorTable.h"
#include "showClass/ImageVolume.h"
#include "showClass/ShowPoint.h"
#include "showClass/ViewMath.h"

#include <QMetaMethod>
#include <QOpenGLContext>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <array>
#include <deque>
#include <limits>
#include <memory>

namespace {

bool near(const QVector3D &a, const QVector3D &b, float eps = 1e-4f)
{
    return (a - b).length() <= eps;
}

// A window whose hook receivers the test can count.
class CountingWindow : public QQuickWindow
{
public:
    int syncHooks() const { return receivers(SIGNAL(beforeSynchronizing())); }
    int cleanupHooks() const { return receivers(SIGNAL(sceneGraphInvalidated())); }
};

ImageFrame frameOf(qint32 cols, qint32 rows, QList<quint16> samples, float speed, quint16 n)
{
    ImageFrame f;
    f.cols = cols;
    f.rows = rows;
    f.image = std::move(samples);
    f.header.speed = speed;
    f.n = n;
    return f;
}

} // namespace

class tst_ShowPoint : public QObject
{
    Q_OBJECT

private slots:
    void regions_data();
    void regions();
    void projectionSpansTheView();
    void modelMatrix_data();
    void modelMatrix();
    void slicePlacement_data();
    void slicePlacement();
    void panDelta_data();
    void panDelta();
    void panFollowsTheScreenWhateverTheRotation_data();
    void panFollowsTheScreenWhateverTheRotation();
    void pointColorMap_data();
    void pointColorMap();
    void paletteColours();
    void compassGeometry();
    void sliceQuad_data();
    void sliceQuad();
    void buildVolume_data();
    void buildVolume();
    void defaults();
    void exactSetters_data();
    void exactSetters();
    void floatSetters_data();
    void floatSetters();
    void sliceIndexSetter();
    void requestReset_data();
    void requestReset();
    void publishedMethods();
    void qmlScaleIsTheModelScale();
    void windowHooksFollowTheWindow();
    void noContextDrawsNothing();
};

void tst_ShowPoint::regions_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QRect>("main");
    QTest::addColumn<QRect>("compass");
    QTest::addColumn<bool>("drawable");
    QTest::newRow("1080x800") << 1080 << 800 << 100.0 << QRect(651, 30, 429, 770)
                              << QRect(880, 600, 200, 200) << true;
    QTest::newRow("1920x1080") << 1920 << 1080 << 100.0 << QRect(1155, 30, 765, 1050)
                               << QRect(1720, 880, 200, 200) << true;
    QTest::newRow("height 31") << 1080 << 31 << 100.0 << QRect(651, 30, 429, 1)
                               << QRect(880, -169, 200, 200) << true;
    QTest::newRow("height 30") << 1080 << 30 << 100.0 << QRect(651, 30, 429, 0)
                               << QRect(880, -170, 200, 200) << false;
    QTest::newRow("height 0") << 1080 << 0 << 100.0 << QRect(651, 30, 429, -30)
                              << QRect(880, -200, 200, 200) << false;
    QTest::newRow("width 10") << 10 << 800 << 100.0 << QRect(9, 30, 1, 770)
                              << QRect(-190, 600, 200, 200) << true;
    QTest::newRow("width 9") << 9 << 800 << 100.0 << QRect(8, 30, 0, 770)
                             << QRect(-191, 600, 200, 200) << false;
    QTest::newRow("width 0") << 0 << 800 << 100.0 << QRect(3, 30, -3, 770)
                             << QRect(-200, 600, 200, 200) << false;
    QTest::newRow("scale 0") << 1080 << 800 << 0.0 << QRect(651, 30, 429, 770)
                             << QRect(880, 600, 200, 200) << false;
    QTest::newRow("scale -1") << 1080 << 800 << -1.0 << QRect(651, 30, 429, 770)
                              << QRect(880, 600, 200, 200) << false;
}

void tst_ShowPoint::regions()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(double, scale);
    QFETCH(QRect, main);
    QFETCH(QRect, compass);
    QFETCH(bool, drawable);
    const QRect got = ViewMath::mainViewRegion(w, h);
    QCOMPARE(QList<int>({got.x(), got.y(), got.width(), got.height()}),
             QList<int>({main.x(), main.y(), main.width(), main.height()}));
    QCOMPARE(ViewMath::compassRegion(w, h), compass);
    QCOMPARE(ViewMath::canDraw(w, h, scale), drawable);
}

void tst_ShowPoint::projectionSpansTheView()
{
    // The view is 1000 units high whatever its size; x keeps the pixels square.
    const QRect view = ViewMath::mainViewRegion(1080, 800);
    const float s = ViewMath::unitsPerPixel(view);
    QCOMPARE(s, 1000.0f / 770.0f);
    const QMatrix4x4 p = ViewMath::projection(view);
    QVERIFY(near(p.map(QVector3D(0, 500, 0)), QVector3D(0, 1, 0)));
    QVERIFY(near(p.map(QVector3D(-429 * s / 2, -500, 0)), QVector3D(-1, -1, 0)));
    // Nearer to the viewer (larger eye z) is smaller depth; the depth range is -1000 to 1000.
    QVERIFY(near(p.map(QVector3D(0, 0, 500)), QVector3D(0, 0, -0.5f)));
    QVERIFY(near(p.map(QVector3D(0, 0, -1000)), QVector3D(0, 0, 1)));
}

void tst_ShowPoint::modelMatrix_data()
{
    QTest::addColumn<double>("pitch");
    QTest::addColumn<double>("roll");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QVector3D>("pan");
    QTest::addColumn<QVector3D>("p");
    QTest::addColumn<QVector3D>("expected");
    // Pan first, then scale, then roll about Z, then pitch about the screen's X axis.
    QTest::newRow("scale and pan") << 0.0 << 0.0 << 100.0 << QVector3D(1, 0, 0)
                                   << QVector3D(1, 2, 3) << QVector3D(200, 200, 300);
    QTest::newRow("pitch 90 turns Y towards the viewer")
        << 90.0 << 0.0 << 1.0 << QVector3D() << QVector3D(0, 1, 0) << QVector3D(0, 0, 1);
    QTest::newRow("pitch 90 turns Z down")
        << 90.0 << 0.0 << 1.0 << QVector3D() << QVector3D(0, 0, 1) << QVector3D(0, -1, 0);
    QTest::newRow("roll 90 turns X up")
        << 0.0 << 90.0 << 1.0 << QVector3D() << QVector3D(1, 0, 0) << QVector3D(0, 1, 0);
    QTest::newRow("roll then pitch: X towards the viewer")
        << 90.0 << 90.0 << 2.0 << QVector3D() << QVector3D(1, 0, 0) << QVector3D(0, 0, 2);
    QTest::newRow("scale 0 leaves the size")
        << 0.0 << 0.0 << 0.0 << QVector3D(1, 1, 1) << QVector3D(1, 2, 3) << QVector3D(2, 3, 4);
    QTest::newRow("negative scale leaves the size")
        << 0.0 << 0.0 << -5.0 << QVector3D() << QVector3D(1, 2, 3) << QVector3D(1, 2, 3);
}

void tst_ShowPoint::modelMatrix()
{
    QFETCH(double, pitch);
    QFETCH(double, roll);
    QFETCH(double, scale);
    QFETCH(QVector3D, pan);
    QFETCH(QVector3D, p);
    QFETCH(QVector3D, expected);
    const QVector3D got = ViewMath::modelMatrix(pitch, roll, scale, pan).map(p);
    QVERIFY2(near(got, expected, 1e-3f),
             qPrintable(QStringLiteral("(%1, %2, %3)").arg(got.x()).arg(got.y()).arg(got.z())));
    // The compass turns the same way, without scale or pan.
    QVERIFY(near(ViewMath::compassMatrix(pitch, roll).map(p),
                 ViewMath::modelMatrix(pitch, roll, 1, QVector3D()).map(p), 1e-5f));
}

void tst_ShowPoint::slicePlacement_data()
{
    QTest::addColumn<int>("sliceIndex");
    QTest::addColumn<int>("frameCount");
    QTest::addColumn<float>("t");
    QTest::newRow("no images") << 0 << 0 << 0.0f;
    QTest::newRow("one image") << 0 << 1 << 0.0f;
    QTest::newRow("index beyond one image") << 5 << 1 << 0.0f;
    QTest::newRow("first of three") << 0 << 3 << 0.0f;
    QTest::newRow("middle of three") << 1 << 3 << 0.5f;
    QTest::newRow("last of three") << 2 << 3 << 1.0f;
    QTest::newRow("beyond the stack") << 4 << 3 << 2.0f;
}

void tst_ShowPoint::slicePlacement()
{
    QFETCH(int, sliceIndex);
    QFETCH(int, frameCount);
    QFETCH(float, t);
    QCOMPARE(ViewMath::sliceFraction(sliceIndex, frameCount), t);
    // The quad of the plane x = 0 stands at x = t * length, its Y mirrored.
    const QMatrix4x4 m = ViewMath::sliceMatrix(QMatrix4x4(), t, 4.0);
    QVERIFY(near(m.map(QVector3D(0, 1, 2)), QVector3D(4 * t, -1, 2)));
}

void tst_ShowPoint::panDelta_data()
{
    QTest::addColumn<float>("dx");
    QTest::addColumn<float>("dy");
    QTest::addColumn<int>("h");
    QTest::addColumn<double>("pitch");
    QTest::addColumn<double>("roll");
    QTest::addColumn<double>("scale");
    QTest::addColumn<bool>("moves");
    QTest::addColumn<QVector3D>("delta"); // in units of s * s, s = 1000 / 770
    QTest::newRow("right a tenth")
        << 0.1f << 0.0f << 800 << 0.0 << 0.0 << 100.0 << true << QVector3D(1, 0, 0);
    QTest::newRow("down a tenth") << 0.0f << 0.1f << 800 << 0.0 << 0.0 << 100.0 << true
                                  << QVector3D(0, -1, 0);
    QTest::newRow("twice the scale, half the move")
        << 0.1f << 0.0f << 800 << 0.0 << 0.0 << 200.0 << true << QVector3D(0.5f, 0, 0);
    QTest::newRow("rolled 90: right is model -Y")
        << 0.1f << 0.0f << 800 << 0.0 << 90.0 << 100.0 << true << QVector3D(0, -1, 0);
    QTest::newRow("pitched 90: down is model +Z")
        << 0.0f << 0.1f << 800 << 90.0 << 0.0 << 100.0 << true << QVector3D(0, 0, 1);
    QTest::newRow("window height 30")
        << 0.1f << 0.0f << 30 << 0.0 << 0.0 << 100.0 << false << QVector3D();
    QTest::newRow("scale 0") << 0.1f << 0.0f << 800 << 0.0 << 0.0 << 0.0 << false << QVector3D();
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 0.0f << 800 << 0.0
                                  << 0.0 << 100.0 << false << QVector3D();
    QTest::newRow("infinite") << 0.0f << std::numeric_limits<float>::infinity() << 800 << 0.0 << 0.0
                              << 100.0 << false << QVector3D();
}

void tst_ShowPoint::panDelta()
{
    QFETCH(float, dx);
    QFETCH(float, dy);
    QFETCH(int, h);
    QFETCH(double, pitch);
    QFETCH(double, roll);
    QFETCH(double, scale);
    QFETCH(bool, moves);
    QFETCH(QVector3D, delta);
    const auto got = ViewMath::panDelta(dx, dy, 1080, h, pitch, roll, scale);
    QCOMPARE(got.has_value(), moves);
    if (moves) {
        const float ss = (1000.0f / 770.0f) * (1000.0f / 770.0f);
        QVERIFY2(
            near(*got, delta * ss, 1e-5f),
            qPrintable(QStringLiteral("(%1, %2, %3)").arg(got->x()).arg(got->y()).arg(got->z())));
    }
}

void tst_ShowPoint::panFollowsTheScreenWhateverTheRotation_data()
{
    QTest::addColumn<double>("pitch");
    QTest::addColumn<double>("roll");
    QTest::addColumn<double>("scale");
    QTest::newRow("level") << 0.0 << 0.0 << 100.0;
    QTest::newRow("pitched") << 37.0 << 0.0 << 100.0;
    QTest::newRow("rolled") << 0.0 << -121.0 << 40.0;
    QTest::newRow("both") << 70.0 << 200.0 << 3.5;
}

void tst_ShowPoint::panFollowsTheScreenWhateverTheRotation()
{
    QFETCH(double, pitch);
    QFETCH(double, roll);
    QFETCH(double, scale);
    const float dx = 0.05f, dy = -0.02f;
    const auto delta = ViewMath::panDelta(dx, dy, 1080, 800, pitch, roll, scale);
    QVERIFY(delta);
    const QRect view = ViewMath::mainViewRegion(1080, 800);
    const QMatrix4x4 p = ViewMath::projection(view);
    const QVector3D point(1.5f, -0.5f, 2.0f);
    const QVector3D before =
        p.map(ViewMath::modelMatrix(pitch, roll, scale, QVector3D()).map(point));
    const QVector3D after = p.map(ViewMath::modelMatrix(pitch, roll, scale, *delta).map(point));
    // On screen the cloud moves by the drag, scaled by the view's units, and not in depth.
    const float s = ViewMath::unitsPerPixel(view);
    const QVector3D expected(2 * dx / view.width() * s * 1000, -2 * dy / view.height() * s * 1000,
                             0);
    QVERIFY(near(after - before, expected, 1e-4f));
}

void tst_ShowPoint::pointColorMap_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QVector4D>("rgba");
    const auto ramp = [](int i) {
        const float x = 1.0f - float(i) / 1023.0f;
        return (x - 0.15f) / 0.7f * 3.96f;
    };
    QTest::newRow("0 blue") << 0 << QVector4D(0, 0.04f, 1, 1);
    QTest::newRow("153 blue") << 153 << QVector4D(0, 0.04f, 1, 1);
    QTest::newRow("154 ramp starts") << 154 << QVector4D(0, 1 - (ramp(154) - 3), 1, 1);
    QTest::newRow("512 green") << 512 << QVector4D(1 - (ramp(512) - 1), 1, 0, 1);
    QTest::newRow("700 yellow-orange") << 700 << QVector4D(1, ramp(700), 0, 1);
    QTest::newRow("869 ramp ends") << 869 << QVector4D(1, ramp(869), 0, 1);
    QTest::newRow("870 red") << 870 << QVector4D(1, 0, 0, 1);
    QTest::newRow("1023 red") << 1023 << QVector4D(1, 0, 0, 1);
}

void tst_ShowPoint::pointColorMap()
{
    QFETCH(int, entry);
    QFETCH(QVector4D, rgba);
    const auto map = ViewMath::pointColorMap();
    const QVector4D got(map[4 * entry], map[4 * entry + 1], map[4 * entry + 2], map[4 * entry + 3]);
    QVERIFY2((got - rgba).length() < 1e-4f, qPrintable(QStringLiteral("(%1, %2, %3, %4)")
                                                           .arg(got.x())
                                                           .arg(got.y())
                                                           .arg(got.z())
                                                           .arg(got.w())));
}

void tst_ShowPoint::paletteColours()
{
    // The slice's table is the chosen palette as opaque float colours.
    const auto colours = ViewMath::paletteColors(ColorTable::instance().palette(5));
    QCOMPARE(colours[4 * 0], 0.0f);
    QCOMPARE(colours[4 * 0 + 1], 16 / 255.0f);
    QCOMPARE(colours[4 * 0 + 2], 48 / 255.0f);
    QCOMPARE(colours[4 * 1023], 1.0f);
    QCOMPARE(colours[4 * 1023 + 1], 0.0f);
    for (int i = 0; i < ViewMath::colorEntries; ++i)
        QCOMPARE(colours[4 * i + 3], 1.0f);
    // A short palette leaves black behind its end, never reads past it.
    const auto shortOne = ViewMath::paletteColors(QList<QRgb>{qRgb(255, 255, 255)});
    QCOMPARE(shortOne[0], 1.0f);
    QCOMPARE(shortOne[4], 0.0f);
    QCOMPARE(shortOne[4 * 1023 + 3], 1.0f);
}

void tst_ShowPoint::compassGeometry()
{
    const auto g = ViewMath::compassGeometry();
    const auto pos = [&](int v) { return QVector3D(g[6 * v], g[6 * v + 1], g[6 * v + 2]); };
    const auto col = [&](int v) { return QVector3D(g[6 * v + 3], g[6 * v + 4], g[6 * v + 5]); };
    const QVector3D axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int a = 0; a < 3; ++a) {
        // The axis, the letter and the arrow head of each axis share its colour.
        QCOMPARE(pos(2 * a), -0.4f * axes[a]);
        QCOMPARE(pos(2 * a + 1), 0.4f * axes[a]);
        QCOMPARE(col(2 * a), axes[a]);
        const int letterFirst[3] = {6, 10, 16};
        const int letterEnd[3] = {10, 16, 22};
        for (int v = letterFirst[a]; v < letterEnd[a]; ++v) {
            QCOMPARE(col(v), axes[a]);
            QCOMPARE(pos(v).z(), 0.0f);
        }
        for (int tri = 0; tri < 4; ++tri) {
            const int v = 22 + 12 * a + 3 * tri;
            QCOMPARE(pos(v), 0.6f * axes[a]);
            for (int b = 1; b < 3; ++b) {
                QCOMPARE(col(v + b), axes[a]);
                const QVector3D base = pos(v + b);
                QVERIFY(qFuzzyCompare(QVector3D::dotProduct(base, axes[a]), 0.4f));
                QVERIFY(qFuzzyCompare((base - 0.4f * axes[a]).length(), 0.05f));
            }
        }
    }
    // The letter X is the two diagonals of a 0.16 square.
    QCOMPARE(pos(6), QVector3D(-0.08f, 0.08f, 0));
    QCOMPARE(pos(9), QVector3D(0.08f, 0.08f, 0));
}

void tst_ShowPoint::sliceQuad_data()
{
    QTest::addColumn<float>("maxDist");
    QTest::addColumn<bool>("made");
    QTest::newRow("3 m") << 3.0f << true;
    QTest::newRow("zero") << 0.0f << false;
    QTest::newRow("negative") << -3.0f << false;
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << false;
    QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << false;
}

void tst_ShowPoint::sliceQuad()
{
    QFETCH(float, maxDist);
    QFETCH(bool, made);
    const auto quad = ViewMath::sliceQuad(maxDist);
    QCOMPARE(quad.has_value(), made);
    if (!made)
        return;
    // A strip over the square of the image's range in the plane x = 0: columns (s) along Y,
    // rows (t) along Z.
    const std::array<float, ViewMath::quadFloats> expected{0, -3, -3, 0, 0, 0, 0, 3, -3, 1, 0, 0,
                                                           0, -3, 3,  0, 1, 0, 0, 3, 3,  1, 1, 0};
    QCOMPARE(*quad, expected);
}

void tst_ShowPoint::buildVolume_data()
{
    QTest::addColumn<std::deque<ImageFrame>>("images");
    QTest::addColumn<bool>("built");
    QTest::addColumn<QList<int>>("bytes");
    QTest::addColumn<QList<int>>("size"); // width, height, depth
    QTest::addColumn<double>("length");

    QTest::newRow("no images") << std::deque<ImageFrame>() << false << QList<int>() << QList<int>()
                               << 0.0;
    QTest::newRow("one image: the high bytes, speed / 1000 x n")
        << std::deque<ImageFrame>{frameOf(2, 2, {0x0102, 0xFF00, 0x80FF, 0x0001}, 500, 4)} << true
        << QList<int>{1, 255, 128, 0} << QList<int>{2, 2, 1} << 2.0;
    QTest::newRow("stacked in order, extra samples ignored")
        << std::deque<ImageFrame>{frameOf(2, 1, {0x1000, 0x2000}, 1000, 1),
                                  frameOf(2, 1, {0x3000, 0x4000, 0x5000}, 250, 2)}
        << true << QList<int>{0x10, 0x20, 0x30, 0x40} << QList<int>{2, 1, 2} << 1.5;
    QList<quint16> ramp;
    QList<int> rampBytes;
    for (int i = 0; i < 150; ++i) {
        ramp << quint16(i << 8 | 0x7F);
        rampBytes << i;
    }
    QTest::newRow("long rows") << std::deque<ImageFrame>{frameOf(75, 2, ramp, 0, 9)} << true
                               << rampBytes << QList<int>{75, 2, 1} << 0.0;
    QTest::newRow("another size or short data: a zero layer")
        << std::deque<ImageFrame>{frameOf(2, 1, {0x0100, 0x0200}, 1000, 1),
                                  frameOf(1, 2, {0x0300, 0x0400}, 1000, 1),
                                  frameOf(2, 1, {0x0500}, 1000, 1),
                                  frameOf(2, 1, {0x0600, 0x0700}, 1000, 1)}
        << true << QList<int>{1, 2, 0, 0, 0, 0, 6, 7} << QList<int>{2, 1, 4} << 4.0;
    QTest::newRow("a speed that is not a number adds nothing")
        << std::deque<ImageFrame>{frameOf(1, 1, {0x0100}, std::numeric_limits<float>::quiet_NaN(),
                                          3),
                                  frameOf(1, 1, {0x0200}, 500, 2),
                                  frameOf(1, 1, {0x0300}, std::numeric_limits<float>::infinity(),
                                          3)}
        << true << QList<int>{1, 2, 3} << QList<int>{1, 1, 3} << 1.0;
    QTest::newRow("first image without area")
        << std::deque<ImageFrame>{frameOf(0, 5, {}, 1000, 1), frameOf(2, 1, {1, 2}, 1000, 1)}
        << false << QList<int>() << QList<int>() << 0.0;
    QTest::newRow("negative size") << std::deque<ImageFrame>{frameOf(-2, -1, {1, 2}, 1000, 1)}
                                   << false << QList<int>() << QList<int>() << 0.0;
}

void tst_ShowPoint::buildVolume()
{
    QFETCH(std::deque<ImageFrame>, images);
    QFETCH(bool, built);
    QFETCH(QList<int>, bytes);
    QFETCH(QList<int>, size);
    QFETCH(double, length);
    if (!built && !images.empty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot be stacked")));
    const auto volume = ::buildVolume(images);
    QCOMPARE(bool(volume), built);
    if (!built)
        return;
    QCOMPARE(QList<int>({volume->width, volume->height, volume->depth}), size);
    QList<int> got;
    for (char b : volume->bytes)
        got << int(quint8(b));
    QCOMPARE(got, bytes);
    QCOMPARE(volume->length, length);
}

void tst_ShowPoint::defaults()
{
    ShowPoint item;
    QCOMPARE(item.roll(), 0.0);
    QCOMPARE(item.pitch(), 0.0);
    QCOMPARE(item.heading(), -89.0);
    QCOMPARE(item.scale(), 100.0);
    QCOMPARE(item.translateX(), 0.0);
    QCOMPARE(item.translateY(), 0.0);
    QCOMPARE(item.sliceIndex(), 0);
    QCOMPARE(item.camAngleH(), 30.0f);
    QCOMPARE(item.camAngleV(), 20.0f);
    QCOMPARE(item.camDistance(), 15.0f);
    QCOMPARE(item.isMoveOrRotation(), false);
    QCOMPARE(item.isAutoTarget(), false);
    QCOMPARE(item.QQuickItem::scale(), 1.0);
    QVERIFY(!item.flags().testFlag(QQuickItem::ItemHasContents));
}

void tst_ShowPoint::exactSetters_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("same");
    QTest::addColumn<QVariant>("other");
    QTest::newRow("roll") << QByteArray("roll") << QVariant(0.0) << QVariant(1e-300);
    QTest::newRow("pitch") << QByteArray("pitch") << QVariant(0.0) << QVariant(-270.0);
    QTest::newRow("heading") << QByteArray("heading") << QVariant(-89.0)
                             << QVariant(-89.0000000001);
    QTest::newRow("scale") << QByteArray("scale") << QVariant(100.0)
                           << QVariant(100.00000000000003);
    QTest::newRow("translateX") << QByteArray("translateX") << QVariant(0.0) << QVariant(3.0);
    QTest::newRow("translateY") << QByteArray("translateY") << QVariant(0.0) << QVariant(-3.0);
    QTest::newRow("isMoveOrRotation")
        << QByteArray("isMoveOrRotation") << QVariant(false) << QVariant(true);
    QTest::newRow("isAutoTarget") << QByteArray("isAutoTarget") << QVariant(false)
                                  << QVariant(true);
}

void tst_ShowPoint::exactSetters()
{
    QFETCH(QByteArray, property);
    QFETCH(QVariant, same);
    QFETCH(QVariant, other);
    ShowPoint item;
    const QMetaProperty meta =
        item.metaObject()->property(item.metaObject()->indexOfProperty(property));
    QCOMPARE(meta.enclosingMetaObject(), &ShowPoint::staticMetaObject);
    QSignalSpy changed(&item, meta.notifySignal());
    QVERIFY(item.setProperty(property, same));
    QCOMPARE(changed.count(), 0);
    QVERIFY(item.setProperty(property, other));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(item.property(property), other);
    QVERIFY(item.setProperty(property, other));
    QCOMPARE(changed.count(), 1);
}

void tst_ShowPoint::floatSetters_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<float>("from");
    QTest::addColumn<float>("to");
    QTest::addColumn<bool>("emits");
    QTest::newRow("within a 100000th") << QByteArray("camAngleH") << 30.0f << 30.0001f << false;
    QTest::newRow("beyond it") << QByteArray("camAngleH") << 30.0f << 30.01f << true;
    QTest::newRow("negative within") << QByteArray("camAngleV") << -20.0f << -20.0001f << false;
    QTest::newRow("sign change") << QByteArray("camAngleV") << 1e-6f << -1e-6f << true;
    QTest::newRow("zero to zero") << QByteArray("camDistance") << 0.0f << 0.0f << false;
    QTest::newRow("zero to tiny") << QByteArray("camDistance") << 0.0f << 1e-30f << true;
}

void tst_ShowPoint::floatSetters()
{
    QFETCH(QByteArray, property);
    QFETCH(float, from);
    QFETCH(float, to);
    QFETCH(bool, emits);
    ShowPoint item;
    QVERIFY(item.setProperty(property, from));
    const QMetaProperty meta =
        item.metaObject()->property(item.metaObject()->indexOfProperty(property));
    QVERIFY(meta.isFinal());
    QSignalSpy changed(&item, meta.notifySignal());
    QVERIFY(item.setProperty(property, to));
    QCOMPARE(changed.count(), emits ? 1 : 0);
    QCOMPARE(item.property(property).toFloat(), emits ? to : from);
}

void tst_ShowPoint::sliceIndexSetter()
{
    ShowPoint item;
    QSignalSpy changed(&item, &ShowPoint::sliceIndexChanged);
    item.setSliceIndex(0);
    QCOMPARE(changed.count(), 0);
    item.setSliceIndex(7);
    item.setSliceIndex(7);
    QCOMPARE(changed.count(), 1);
    item.setSliceIndex(0);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(item.sliceIndex(), 0);
}

void tst_ShowPoint::requestReset_data()
{
    QTest::addColumn<double>("pitch");
    QTest::addColumn<double>("roll");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QStringList>("signalsSeen");
    QTest::newRow("all moved") << 10.0 << 20.0 << 55.0 << QStringList{"pitch", "roll", "scale"};
    QTest::newRow("only scale") << 0.0 << 0.0 << 121.0 << QStringList{"scale"};
    QTest::newRow("already reset") << 0.0 << 0.0 << 100.0 << QStringList{};
}

void tst_ShowPoint::requestReset()
{
    QFETCH(double, pitch);
    QFETCH(double, roll);
    QFETCH(double, scale);
    QFETCH(QStringList, signalsSeen);
    ShowPoint item;
    item.setPitch(pitch);
    item.setRoll(roll);
    item.setScale(scale);
    item.setHeading(7);
    item.setCamAngleH(1);
    QStringList seen;
    connect(&item, &ShowPoint::pitchChanged, this, [&] { seen << "pitch"; });
    connect(&item, &ShowPoint::rollChanged, this, [&] { seen << "roll"; });
    connect(&item, &ShowPoint::scaleChanged, this, [&] { seen << "scale"; });
    connect(&item, &ShowPoint::headingChanged, this, [&] { seen << "heading"; });
    emit item.requestReset();
    QCOMPARE(seen, signalsSeen);
    QCOMPARE(item.pitch(), 0.0);
    QCOMPARE(item.roll(), 0.0);
    QCOMPARE(item.scale(), 100.0);
    QCOMPARE(item.heading(), 7.0);
    QCOMPARE(item.camAngleH(), 1.0f);
}

void tst_ShowPoint::publishedMethods()
{
    // The front end and the core object bind to these by name and argument types.
    const QStringList expected{"rollChanged()",
                               "pitchChanged()",
                               "headingChanged()",
                               "scaleChanged()",
                               "translateXChanged()",
                               "translateYChanged()",
                               "sig_readFile(bool,QString)",
                               "sigSetWindowWidth(int)",
                               "sigSetWindowHeight(int)",
                               "sliceIndexChanged()",
                               "camAngleHChanged()",
                               "camAngleVChanged()",
                               "camDistanceChanged()",
                               "isMoveOrRotationChanged()",
                               "isAutoTargetChanged()",
                               "sigMovePointCloud(float,float)",
                               "requestReset()",
                               "f_setColorTable(int)",
                               "f_setPointSize(QString)",
                               "f_setPowerThr(QString)",
                               "f_setMaxStrength(QString)",
                               "f_setShaderColorModel(int)",
                               "pointCloudUpdate(packageInfo,float)",
                               "imagesUpdate()",
                               "sync()",
                               "cleanup()",
                               "slotDeleteTexture(bool)",
                               "handleWindowChanged(QQuickWindow*)"};
    const QMetaObject &mo = ShowPoint::staticMetaObject;
    QStringList got;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
        got << QString::fromLatin1(mo.method(i).methodSignature());
    QCOMPARE(got, expected);
    QCOMPARE(mo.method(mo.methodOffset() + 27).access(), QMetaMethod::Private);
    QCOMPARE(mo.method(mo.methodOffset() + 26).access(), QMetaMethod::Public);
    QStringList properties;
    for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i)
        properties << QString::fromLatin1(mo.property(i).name());
    QCOMPARE(properties, (QStringList{"roll", "pitch", "heading", "scale", "translateX",
                                      "translateY", "sliceIndex", "camAngleH", "camAngleV",
                                      "camDistance", "isMoveOrRotation", "isAutoTarget"}));
}

void tst_ShowPoint::qmlScaleIsTheModelScale()
{
    qmlRegisterType<ShowPoint>("ShowPoint.module", 1, 0, "ShowPoint");
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import ShowPoint.module 1.0\nShowPoint { scale: 2.5; roll: scale * 2 }",
                      QUrl());
    std::unique_ptr<QObject> object(component.create());
    QVERIFY2(object, qPrintable(component.errorString()));
    auto *item = qobject_cast<ShowPoint *>(object.get());
    QVERIFY(item);
    QCOMPARE(item->scale(), 2.5);
    QCOMPARE(item->roll(), 5.0);
    QCOMPARE(item->QQuickItem::scale(), 1.0);
}

void tst_ShowPoint::windowHooksFollowTheWindow()
{
    CountingWindow a;
    CountingWindow b;
    const int baseSyncA = a.syncHooks(), baseSyncB = b.syncHooks();
    const int baseCleanA = a.cleanupHooks(), baseCleanB = b.cleanupHooks();
    ShowPoint item;
    item.setParentItem(a.contentItem());
    QCOMPARE(a.syncHooks(), baseSyncA + 1);
    QCOMPARE(a.cleanupHooks(), baseCleanA + 1);
    QCOMPARE(a.color(), QColor(Qt::black));
    // The window the item leaves no longer runs its synchronisation or clean-up.
    item.setParentItem(b.contentItem());
    QCOMPARE(a.syncHooks(), baseSyncA);
    QCOMPARE(a.cleanupHooks(), baseCleanA);
    QCOMPARE(b.syncHooks(), baseSyncB + 1);
    QCOMPARE(b.cleanupHooks(), baseCleanB + 1);
    item.setParentItem(nullptr);
    QCOMPARE(b.syncHooks(), baseSyncB);
}

void tst_ShowPoint::noContextDrawsNothing()
{
    // Nothing here draws, or may warn of an attempt to draw without a context.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));

    // Without a window a synchronisation makes no renderer, and requests are dropped.
    ShowPoint item;
    item.sync();
    QVERIFY(!item.hasRenderer());
    item.pointCloudUpdate(packageInfo(), 5.0f);
    item.slotDeleteTexture(false);
    QVERIFY(!item.stagedInputs().pointsChanged);
    QVERIFY(!item.stagedInputs().showSlice);

    // In a window the first synchronisation makes the renderer and hooks it to the window's
    // frame; its hooks, run with no OpenGL context current (this platform draws nothing),
    // return without making one current.
    ProbeWindow window;
    const int idleHooks = window.renderHooks();
    item.setParentItem(window.contentItem());
    item.sync();
    QVERIFY(item.hasRenderer());
    QCOMPARE(window.renderHooks(), idleHooks + 2);
    QVERIFY(!QOpenGLContext::currentContext());
    emit window.beforeRendering();
    emit window.beforeRenderPassRecording();
    QVERIFY(!QOpenGLContext::currentContext());

    // What is asked meanwhile is staged, and the next synchronisation hands it over.
    item.pointCloudUpdate(packageInfo(), 5.0f);
    emit item.sigMovePointCloud(0.1f, 0.1f);
    QVERIFY(item.stagedInputs().pointsChanged);
    QCOMPARE(item.stagedInputs().maxRadius, 5.0f);
    QCOMPARE(item.stagedInputs().dragX, 0.1f);
    item.sync();
    QVERIFY(!item.stagedInputs().pointsChanged);
    QCOMPARE(item.stagedInputs().dragX, 0.0f);
    emit window.beforeRendering();
    emit window.beforeRenderPassRecording();
    QVERIFY(!QOpenGLContext::currentContext());

    // Leaving the window releases the renderer; a synchronisation outside a window makes none.
    item.setParentItem(nullptr);
    QVERIFY(!item.hasRenderer());
    item.sync();
    QVERIFY(!item.hasRenderer());
}

QTEST_MAIN(tst_ShowPoint)
#include "tst_showpoint.moc"
