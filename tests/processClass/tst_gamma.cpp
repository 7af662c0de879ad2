#include "processClass/GammaCorrect.h"
#include "processClass/GammaTable.h"
#include "support/ReferenceSectorImage.h"

#include <QTest>

#include <numeric>
#include <vector>

class tst_Gamma : public QObject
{
    Q_OBJECT

private slots:
    void pins_data();
    void pins();
    void everyValueMatchesPow_data();
    void everyValueMatchesPow();
    void identityLeavesSamples();
};

void tst_Gamma::pins_data()
{
    QTest::addColumn<double>("gamma");
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    QTest::newRow("g2 half") << 2.0 << 32768 << 16384;
    QTest::newRow("g2 full") << 2.0 << 65535 << 65535;
    QTest::newRow("g2 one") << 2.0 << 1 << 0;
    QTest::newRow("g2 zero") << 2.0 << 0 << 0;
    QTest::newRow("g0.5 100") << 0.5 << 100 << 2560;
    QTest::newRow("g0.5 zero") << 0.5 << 0 << 0;
    QTest::newRow("g1 unchanged") << 1.0 << 12345 << 12345;
}

void tst_Gamma::pins()
{
    QFETCH(double, gamma);
    QFETCH(int, in);
    QFETCH(int, out);
    quint16 sample = static_cast<quint16>(in);
    gammaCorrect(&sample, 1, gamma - 1.0, 1.0);
    QCOMPARE(int(sample), out);
}

void tst_Gamma::everyValueMatchesPow_data()
{
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::newRow("gamma 0.3") << -0.7 << 1.0;
    QTest::newRow("gamma 0.5") << -0.5 << 1.0;
    QTest::newRow("gamma 1.7") << 0.7 << 1.0;
    QTest::newRow("gamma 2") << 1.0 << 1.0;
    QTest::newRow("gamma 3.3") << 2.3 << 1.0;
    QTest::newRow("b 2") << 0.5 << 2.0;
    QTest::newRow("negative exponent") << -3.0 << 1.0;
}

void tst_Gamma::everyValueMatchesPow()
{
    QFETCH(double, a);
    QFETCH(double, b);
    std::vector<quint16> fast(65536);
    std::iota(fast.begin(), fast.end(), quint16(0));
    std::vector<quint16> slow = fast;
    gammaCorrect(fast.data(), quint32(fast.size()), a, b);
    reference::gammaCorrect(slow.data(), quint32(slow.size()), a, b);
    for (int v = 0; v < 65536; ++v) {
        if (fast[v] != slow[v])
            QFAIL(qPrintable(
                QStringLiteral("value %1: table %2, pow %3").arg(v).arg(fast[v]).arg(slow[v])));
    }
    // A second call uses the cached table and must agree with the first.
    std::vector<quint16> again(65536);
    std::iota(again.begin(), again.end(), quint16(0));
    gammaCorrect(again.data(), quint32(again.size()), a, b);
    QVERIFY(again == fast);
}

void tst_Gamma::identityLeavesSamples()
{
    std::vector<quint16> samples{0, 1, 2, 1000, 65535};
    const auto before = samples;
    gammaCorrect(samples.data(), quint32(samples.size()), 0.0, 1.0);
    QVERIFY(samples == before);
    gammaCorrect(samples.data(), quint32(samples.size()), 0.5 + 1e-14, 0.5);
    QVERIFY(samples == before);
    QVERIFY(!GammaTable::shared(0.0, 1.0));
    gammaCorrect(nullptr, 10, 1.0, 1.0);
}

QTEST_APPLESS_MAIN(tst_Gamma)
#include "tst_gamma.moc"
