#include "processClass/ColorTable.h"

#include <QTest>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace {

struct Key
{
    int entry;
    int r, g, b;
};

// The fixed colours of each palette, written out independently of the program's table.
const std::vector<std::vector<Key>> &keyPoints()
{
    static const std::vector<std::vector<Key>> keys = {
        {{0, 2, 1, 0},
         {507, 242, 155, 2},
         {520, 243, 161, 16},
         {643, 255, 243, 204},
         {1023, 255, 255, 255}},
        {{0, 20, 3, 1}, {493, 217, 33, 18}, {885, 207, 192, 27}, {1023, 249, 230, 25}},
        {{0, 1, 9, 0},
         {110, 11, 58, 3},
         {357, 119, 152, 0},
         {476, 170, 195, 3},
         {679, 242, 250, 92},
         {1023, 254, 255, 253}},
        {{0, 0, 6, 26},
         {148, 0, 26, 101},
         {265, 0, 60, 148},
         {362, 0, 109, 182},
         {536, 3, 194, 231},
         {717, 93, 250, 255},
         {1023, 245, 255, 255}},
        {{0, 0, 0, 4},         {176, 0, 3, 145},    {240, 0, 34, 192},   {319, 0, 84, 237},
         {371, 0, 125, 255},   {393, 8, 142, 245},  {447, 46, 169, 207}, {551, 127, 207, 126},
         {552, 119, 207, 126}, {553, 95, 207, 125}, {554, 70, 208, 124}, {555, 46, 208, 124},
         {556, 38, 208, 123},  {557, 64, 209, 122}, {558, 90, 209, 121}, {559, 116, 210, 120},
         {560, 134, 210, 119}, {654, 206, 237, 47}, {715, 254, 255, 1},  {1023, 255, 255, 249}},
        {{0, 0, 16, 48},
         {153, 3, 36, 68},
         {213, 19, 52, 80},
         {849, 182, 212, 77},
         {973, 243, 244, 48},
         {1017, 254, 255, 48},
         {1018, 254, 227, 43},
         {1019, 254, 162, 31},
         {1020, 255, 98, 18},
         {1021, 255, 33, 6},
         {1022, 255, 0, 0},
         {1023, 255, 0, 0}},
    };
    return keys;
}

int channel(QRgb c, int ch)
{
    return ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c);
}

} // namespace

class TstColorTable : public QObject
{
    Q_OBJECT

private slots:
    // Must run first: it is the process's first use of the instance.
    void concurrentFirstUseSeesWholeTable();
    void keyPointsAreExact();
    void rampsStayNearTheLineBetweenKeyPoints();
    void rampShapes();
    void indexRule_data();
    void indexRule();
    void knownColours();
    void everyEntryOpaque();
};

void TstColorTable::concurrentFirstUseSeesWholeTable()
{
    std::atomic<bool> go{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load())
                std::this_thread::yield();
            const ColorTable &table = ColorTable::instance();
            const QList<QRgb> p = table.palette(t % 6);
            if (p.size() != 1024 || table.color(5, 1023) != 0xFFFF0000u
                || table.color(0, 0) != 0xFF020100u)
                bad.fetch_add(1);
        });
    }
    go.store(true);
    for (auto &th : threads)
        th.join();
    QCOMPARE(bad.load(), 0);
}

void TstColorTable::keyPointsAreExact()
{
    const ColorTable &table = ColorTable::instance();
    for (int p = 0; p < 6; ++p) {
        const QList<QRgb> pal = table.palette(p);
        QCOMPARE(pal.size(), 1024);
        for (const Key &k : keyPoints()[p]) {
            const QRgb want = qRgb(k.r, k.g, k.b);
            if (pal[k.entry] != want)
                QFAIL(qPrintable(QStringLiteral("palette %1 entry %2: %3, want %4")
                                     .arg(p)
                                     .arg(k.entry)
                                     .arg(pal[k.entry], 8, 16)
                                     .arg(want, 8, 16)));
        }
    }
}

void TstColorTable::rampsStayNearTheLineBetweenKeyPoints()
{
    const ColorTable &table = ColorTable::instance();
    for (int p = 0; p < 6; ++p) {
        const QList<QRgb> pal = table.palette(p);
        const auto &keys = keyPoints()[p];
        QCOMPARE(keys.front().entry, 0);
        QCOMPARE(keys.back().entry, 1023);
        for (std::size_t k = 0; k + 1 < keys.size(); ++k) {
            const Key &a = keys[k];
            const Key &b = keys[k + 1];
            for (int i = a.entry; i <= b.entry; ++i) {
                const double t = double(i - a.entry) / double(b.entry - a.entry);
                const int av[3] = {a.r, a.g, a.b};
                const int bv[3] = {b.r, b.g, b.b};
                for (int ch = 0; ch < 3; ++ch) {
                    const double line = av[ch] + (bv[ch] - av[ch]) * t;
                    if (std::abs(channel(pal[i], ch) - line) > 3.0 + 1e-9)
                        QFAIL(
                            qPrintable(QStringLiteral("palette %1 entry %2 channel %3: %4, line %5")
                                           .arg(p)
                                           .arg(i)
                                           .arg(ch)
                                           .arg(channel(pal[i], ch))
                                           .arg(line)));
                }
            }
        }
    }
}

void TstColorTable::rampShapes()
{
    const ColorTable &table = ColorTable::instance();

    // Palettes 0 and 3 never step down in any channel.
    for (int p : {0, 3}) {
        const QList<QRgb> pal = table.palette(p);
        for (int i = 1; i < 1024; ++i)
            for (int ch = 0; ch < 3; ++ch)
                QVERIFY2(channel(pal[i], ch) >= channel(pal[i - 1], ch),
                         qPrintable(QStringLiteral("palette %1 entry %2").arg(p).arg(i)));
    }

    // Palette 1: red up to 217 at 487, down to 205 at 859, up again to 249; green always
    // rises; blue peaks at 27 at 859 and ends at 25.
    const QList<QRgb> p1 = table.palette(1);
    QCOMPARE(qRed(p1[487]), 217);
    QCOMPARE(qRed(p1[859]), 205);
    QCOMPARE(qRed(p1[1023]), 249);
    for (int i = 1; i < 1024; ++i) {
        QVERIFY(qGreen(p1[i]) >= qGreen(p1[i - 1]));
        QVERIFY(qRed(p1[i]) <= 217 || i > 859);
        if (i <= 487)
            QVERIFY(qRed(p1[i]) >= qRed(p1[i - 1]));
        else if (i <= 859)
            QVERIFY(qRed(p1[i]) <= qRed(p1[i - 1]));
        else
            QVERIFY(qRed(p1[i]) >= qRed(p1[i - 1]));
        QVERIFY(qBlue(p1[i]) <= 27);
    }
    QCOMPARE(qBlue(p1[859]), 27);
    QCOMPARE(qBlue(p1[1023]), 25);

    // Palette 2: blue climbs to 3 and back to 0 within the first 190 entries.
    const QList<QRgb> p2 = table.palette(2);
    int blueTop = 0;
    for (int i = 0; i < 190; ++i)
        blueTop = std::max(blueTop, qBlue(p2[i]));
    QCOMPARE(blueTop, 3);
    QCOMPARE(qBlue(p2[190]), 0);

    // Palette 4: blue peaks at 255 near 369 and falls to 1 near 712.
    const QList<QRgb> p4 = table.palette(4);
    QCOMPARE(qBlue(p4[369]), 255);
    QCOMPARE(qBlue(p4[712]), 1);

    // Palette 5: blue holds 80 from 198 to 830 and falls to 48 by 973; the top runs from
    // yellow to pure red.
    const QList<QRgb> p5 = table.palette(5);
    for (int i = 198; i <= 830; ++i)
        QCOMPARE(qBlue(p5[i]), 80);
    QCOMPARE(qBlue(p5[973]), 48);
    QCOMPARE(p5[1019], qRgb(254, 162, 31));
    QCOMPARE(p5[1020], qRgb(255, 98, 18));
}

void TstColorTable::indexRule_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("palette");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("3") << 3 << 3;
    QTest::newRow("4") << 4 << 4;
    QTest::newRow("5") << 5 << 5;
    QTest::newRow("6") << 6 << 5;
    QTest::newRow("-1") << -1 << 5;
    QTest::newRow("1000") << 1000 << 5;
}

void TstColorTable::indexRule()
{
    QFETCH(int, index);
    QFETCH(int, palette);
    const ColorTable &table = ColorTable::instance();
    const QList<QRgb> got = table.palette(index);
    const Key &first = keyPoints()[palette].front();
    QCOMPARE(got.size(), 1024);
    QCOMPARE(got[0], qRgb(first.r, first.g, first.b));
    QCOMPARE(got, table.palette(palette));
    for (int v : {0, 500, 1023})
        QCOMPARE(table.color(index, quint16(v)), got[v]);
}

void TstColorTable::knownColours()
{
    const ColorTable &table = ColorTable::instance();
    QCOMPARE(table.color(0, 0), 0xFF020100u);
    QCOMPARE(table.color(0, 1023), 0xFFFFFFFFu);
    QCOMPARE(table.color(5, 0), 0xFF001030u);
    QCOMPARE(table.color(5, 1022), 0xFFFF0000u);
    QCOMPARE(table.color(5, 1023), 0xFFFF0000u);
    QCOMPARE(table.color(7, 0), table.color(5, 0));
    QCOMPARE(int(ColorTable::Default), 6);
}

void TstColorTable::everyEntryOpaque()
{
    const ColorTable &table = ColorTable::instance();
    for (int p = 0; p < 6; ++p)
        for (QRgb c : table.palette(p))
            QCOMPARE(qAlpha(c), 255);
}

QTEST_GUILESS_MAIN(TstColorTable)
#include "tst_colortable.moc"
