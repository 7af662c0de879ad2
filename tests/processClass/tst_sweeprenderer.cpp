#include "processClass/ColorTable.h"
#include "processClass/SweepRenderer.h"
#include "support/ReferenceSectorImage.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <limits>
#include <vector>

namespace {

constexpr int side = 800;

bool isCyanish(QRgb c)
{
    return qBlue(c) > 100 && qGreen(c) > 100 && qRed(c) < 100;
}

FrameResult echoAt(double angleA, double rangeA, double angleB = 0, double rangeB = 0)
{
    FrameResult r;
    r.angleA = angleA;
    r.rangeA = rangeA;
    r.angleB = angleB;
    r.rangeB = rangeB;
    return r;
}

} // namespace

class tst_SweepRenderer : public QObject
{
    Q_OBJECT

private slots:
    void paletteValue_data();
    void paletteValue();
    void fullScaleGivesEntry983();
    void matchesReference();
    void markersAtTheirBearing();
    void batchErasesOnlyItsPies();
    void storedMarkersReplaceTheLayer();
    void badHeaderDrawsNoStrayMarker_data();
    void badHeaderDrawsNoStrayMarker();
};

void tst_SweepRenderer::paletteValue_data()
{
    QTest::addColumn<int>("v");
    QTest::addColumn<double>("scale");
    QTest::addColumn<double>("offest");
    QTest::addColumn<int>("out");
    QTest::newRow("full scale") << 65535 << 0.015 << 0.0 << 983;
    QTest::newRow("66 toward zero") << 66 << 0.015 << 0.0 << 0;
    QTest::newRow("67") << 67 << 0.015 << 0.0 << 1;
    QTest::newRow("offset -10, 733") << 733 << 0.015 << -10.0 << 0;
    QTest::newRow("offset -10, 734") << 734 << 0.015 << -10.0 << 1;
    QTest::newRow("scale 0.02, 51150") << 51150 << 0.02 << 0.0 << 1023;
    QTest::newRow("scale 0.02, 51149") << 51149 << 0.02 << 0.0 << 1022;
    QTest::newRow("huge scale") << 100 << 1e300 << 0.0 << 1023;
    QTest::newRow("huge negative offset") << 100 << 0.015 << -1e300 << 0;
    QTest::newRow("NaN scale") << 100 << std::numeric_limits<double>::quiet_NaN() << 0.0 << 0;
}

void tst_SweepRenderer::paletteValue()
{
    QFETCH(int, v);
    QFETCH(double, scale);
    QFETCH(double, offest);
    QFETCH(int, out);
    QCOMPARE(int(SweepRenderer::paletteValue(quint16(v), scale, offest)), out);
}

void tst_SweepRenderer::fullScaleGivesEntry983()
{
    SweepRenderer renderer;
    std::vector<quint16> samples(side * side, 65535);
    const QImage image = renderer.colour(samples.data(), side, side, SweepRenderer::Style{});
    QCOMPARE(image.size(), QSize(side, side));
    QCOMPARE(image.format(), QImage::Format_RGB32);
    const QRgb expected = ColorTable::instance().color(0, 983);
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c)
            if (image.pixel(c, r) != expected)
                QFAIL("pixel differs from palette 0 entry 983");
    QCOMPARE(renderer.sectorImage(), image);
}

void tst_SweepRenderer::matchesReference()
{
    QRandomGenerator rng(77);
    SweepRenderer renderer;
    std::vector<quint16> samples(side * side);
    const double gammas[] = {1.0, 1.4, 0.5, 2.0};
    for (int round = 0; round < 6; ++round) {
        for (auto &s : samples)
            s = quint16(rng.bounded(65536));
        SweepRenderer::Style style;
        style.gamma = gammas[round % 4];
        style.scale = 0.005 + rng.bounded(0.03);
        style.offest = rng.bounded(40.0) - 20;
        style.switchColor = int(rng.bounded(8)) - 1;
        const QImage fast = renderer.colour(samples.data(), side, side, style);
        const QImage slow = reference::colour(samples.data(), style.gamma, style.scale,
                                              style.offest, style.switchColor);
        QCOMPARE(fast, slow);
    }
}

void tst_SweepRenderer::markersAtTheirBearing()
{
    SweepRenderer renderer;
    std::vector<quint16> samples(side * side, 0);
    renderer.colour(samples.data(), side, side, SweepRenderer::Style{});
    packageInfo first;
    first.maxDist = 40;
    first.direction = 0;
    first.vez25EDirectionAngle = 1;
    // angleA 90 (a frame at direction 270) at half range: left of the centre. angleB 180 at a
    // quarter range: straight up. A range of maxDist lies on the rim and draws nothing.
    std::vector<FrameResult> results{echoAt(90, 20, 180, 10), echoAt(270, 40, 0, 0)};
    renderer.drawBatchMarkers(results, first, 1, 400);
    renderer.composite();
    const QImage &img = renderer.sectorImage();
    QVERIFY(isCyanish(img.pixel(200, 400)) || isCyanish(img.pixel(199, 399)));
    QVERIFY(isCyanish(img.pixel(400, 300)) || isCyanish(img.pixel(399, 299)));
    QVERIFY(!isCyanish(img.pixel(799, 400)));
    QVERIFY(!isCyanish(img.pixel(600, 400)));
    int cyan = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            cyan += isCyanish(img.pixel(x, y));
    QVERIFY2(cyan >= 2 && cyan <= 16, qPrintable(QString::number(cyan)));
}

void tst_SweepRenderer::batchErasesOnlyItsPies()
{
    SweepRenderer renderer;
    std::vector<quint16> samples(side * side, 0);
    packageInfo first;
    first.maxDist = 40;
    first.vez25EDirectionAngle = 1;
    first.direction = 0;
    renderer.colour(samples.data(), side, side, SweepRenderer::Style{});
    // Markers on bearings 95 (right, a little down) and 200.
    renderer.drawBatchMarkers({echoAt(275, 20), echoAt(20, 20)}, first, 1, 400);

    // First frame direction 90, step 1, 10 frames: pies 90..100 and 270..280 are erased.
    first.direction = 90;
    renderer.colour(samples.data(), side, side, SweepRenderer::Style{});
    renderer.drawBatchMarkers({echoAt(0, 5)}, first, 10, 400);
    renderer.composite();
    const QImage &img = renderer.sectorImage();
    auto near = [&](double bearing, double p) {
        const double t = (bearing - 90) * M_PI / 180;
        const int x = int(std::lround(400 + std::cos(t) * p));
        const int y = int(std::lround(400 + std::sin(t) * p));
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (isCyanish(img.pixel(x + dx, y + dy)))
                    return true;
        return false;
    };
    QVERIFY(!near(95, 200));
    QVERIFY(near(200, 200));
    QVERIFY(near(180, 50));

    // A batch without results leaves the layer out of its picture altogether.
    renderer.colour(samples.data(), side, side, SweepRenderer::Style{});
    renderer.drawBatchMarkers({}, first, 10, 400);
    QVERIFY(!near(200, 200));
}

void tst_SweepRenderer::storedMarkersReplaceTheLayer()
{
    SweepRenderer renderer;
    std::vector<quint16> samples(side * side, 0);
    packageInfo head;
    head.maxDist = 40;
    renderer.colour(samples.data(), side, side, SweepRenderer::Style{});
    renderer.drawStoredMarkers({echoAt(90, 20)}, head, 400);
    renderer.colour(samples.data(), side, side, SweepRenderer::Style{});
    renderer.drawStoredMarkers({echoAt(180, 10)}, head, 400);
    renderer.composite();
    const QImage &img = renderer.sectorImage();
    QVERIFY(isCyanish(img.pixel(400, 300)) || isCyanish(img.pixel(399, 299)));
    for (int y = 395; y <= 405; ++y)
        for (int x = 195; x <= 205; ++x)
            QVERIFY(!isCyanish(img.pixel(x, y)));
}

void tst_SweepRenderer::badHeaderDrawsNoStrayMarker_data()
{
    QTest::addColumn<float>("direction");
    QTest::addColumn<float>("step");
    QTest::addColumn<float>("maxDist");
    QTest::addColumn<double>("angle");
    QTest::addColumn<double>("range");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // A negative maxDist would mirror the echo through the centre; a zero or NaN one puts it
    // at no finite place.
    QTest::newRow("negative maxDist") << 0.f << 1.f << -40.f << 90.0 << 20.0;
    QTest::newRow("zero maxDist") << 0.f << 1.f << 0.f << 90.0 << 20.0;
    QTest::newRow("NaN step and maxDist") << 0.f << nan << nan << 90.0 << 20.0;
}

void tst_SweepRenderer::badHeaderDrawsNoStrayMarker()
{
    QFETCH(float, direction);
    QFETCH(float, step);
    QFETCH(float, maxDist);
    QFETCH(double, angle);
    QFETCH(double, range);
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    SweepRenderer renderer;
    std::vector<quint16> samples(side * side, 0);
    renderer.colour(samples.data(), side, side, SweepRenderer::Style{});
    packageInfo first;
    first.direction = direction;
    first.vez25EDirectionAngle = step;
    first.maxDist = maxDist;
    renderer.drawBatchMarkers({echoAt(angle, range, angle, range)}, first, 20, 400);
    renderer.composite();
    const QImage &img = renderer.sectorImage();
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            if (isCyanish(img.pixel(x, y)))
                QFAIL(qPrintable(QStringLiteral("marker at %1,%2").arg(x).arg(y)));
}

QTEST_MAIN(tst_SweepRenderer)
#include "tst_sweeprenderer.moc"
