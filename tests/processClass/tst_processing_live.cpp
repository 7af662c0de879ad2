#include "app/InformationCenter.h"
#include "processClass/PacketRing.h"
#include "processClass/PointCloudCache.h"
#include "processClass/Processing.h"
#include "processClass/UdpReceiver.h"
#include "support/LivePath.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <clocale>
#include <cmath>
#include <locale>
#include <vector>

// The live path end to end: the simulated sonar streams frames over loopback into a real
// UdpReceiver, Processing drains the ring. Registered twice, once under a German locale, where
// a stream that followed the machine's locale would write decimal commas.
class tst_ProcessingLive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void framesBecomeResultsImagesAndLines();
    void controlsWhileFramesArrive();
};

void tst_ProcessingLive::initTestCase()
{
    qRegisterMetaType<packageInfo>("packageInfo");
    const QByteArray wanted = qgetenv("LC_ALL");
    if (wanted.startsWith("de_DE")) {
        try {
            std::locale::global(std::locale(wanted.constData()));
        } catch (const std::exception &) {
            QFAIL("the German locale is missing: run scripts/setup-deps.sh");
        }
        QVERIFY(std::setlocale(LC_ALL, wanted.constData()));
        QCOMPARE(std::use_facet<std::numpunct<char>>(std::locale()).decimal_point(), ',');
    }
}

void tst_ProcessingLive::framesBecomeResultsImagesAndLines()
{
    const int frames = 30;
    LivePath live(this);
    InformationCenter *center = live.m_center;
    center->setSpeedMove(2.5f);
    center->setTargetGamma(1.25);

    std::vector<packageInfo> results;
    std::vector<float> maxRanges;
    int pixmaps = 0;
    connect(&live.m_processing, &Processing::sigProcessOK, this,
            [&](packageInfo head, float maxRange) {
                results.push_back(head);
                maxRanges.push_back(maxRange);
            });
    connect(&live.m_processing, &Processing::sigUpdatePixmap, this, [&](QPixmap pixmap, bool) {
        QCOMPARE(pixmap.size(), QSize(800, 800));
        ++pixmaps;
    });
    QVERIFY(live.start());

    QTemporaryDir dir;
    // A second save request finishes the first file and writes to the new one.
    emit center->sigSaveFile(
        QUrl::fromLocalFile(dir.filePath(QStringLiteral("run0.db"))).toString());
    const QString recording = dir.filePath(QStringLiteral("run1.DB"));
    emit center->sigSaveFile(QUrl::fromLocalFile(recording).toString());

    SonarStreamer &sonar = live.m_sonar;
    packageInfo head = SimSonar::defaultHeader();
    head.workCycle = 0.02f; // batches of 5
    head.speed = 77;        // the device's speed and gamma are replaced by the operator's
    head.gamma = 3;
    sonar.setHeader(head);
    sonar.setEchoes({{0, 1000, 20000, 3}, {1, 2500, 30000, 3}}, 100);
    sonar.setFrameRate(200);
    sonar.setFrameLimit(frames);
    sonar.start();

    QTRY_COMPARE_WITH_TIMEOUT(int(results.size()), frames, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(pixmaps, frames / 5, 5000);
    sonar.stop();
    emit center->sigStopSaveFile();
    live.m_receiver.stop();
    live.m_processing.stop();
    QCOMPARE(live.m_ring->lostPackets(), 0u);

    for (int k = 0; k < frames; ++k) {
        QCOMPARE(results[k].frameSerialNum, results[0].frameSerialNum + quint32(k));
        QCOMPARE(results[k].speed, 2.5f);
        QCOMPARE(results[k].gamma, 1.25f);
    }
    QVERIFY2(std::fabs(maxRanges.back() - 25.0f) < 0.05f,
             qPrintable(QString::number(maxRanges.back())));
    quint32 stored = 0;
    PointCloudCache::instance().readPoints(&stored, nullptr);
    QCOMPARE(stored, quint32(2 * frames));

    QFile first(dir.filePath(QStringLiteral("run0PointCloud.txt")));
    QVERIFY(first.exists());
    QCOMPARE(first.size(), 0);
    QFile file(dir.filePath(QStringLiteral("run1PointCloud.txt")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2 * frames);
    const QRegularExpression number(QStringLiteral("^-?\\d+(\\.\\d+)?(e[-+]\\d+)?$"));
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList parts = lines[i].split(QLatin1Char(' '));
        QCOMPARE(parts.size(), 4);
        for (const QString &p : parts)
            QVERIFY2(number.match(p).hasMatch(), qPrintable(lines[i]));
        const int k = i / 2;
        // alongTrack grows by speed / 1000 per frame; each beam's point lies at its range.
        QVERIFY(std::fabs(parts[0].toDouble() - 0.0025 * (k + 1)) < 1e-5);
        const double range = std::hypot(parts[1].toDouble(), parts[2].toDouble());
        QVERIFY2(std::fabs(range - (i % 2 == 0 ? 10.0 : 25.0)) < 0.05, qPrintable(lines[i]));
        QVERIFY(parts[3].toDouble() > 0);
    }
}

void tst_ProcessingLive::controlsWhileFramesArrive()
{
    // The GUI-thread controls run while the loop handles and draws frames; every frame still
    // comes out whole.
    const int frames = 150;
    LivePath live(this);
    Processing &processing = live.m_processing;
    int results = 0;
    connect(&processing, &Processing::sigProcessOK, this, [&](packageInfo, float) { ++results; });
    QVERIFY(live.start());

    packageInfo head = SimSonar::defaultHeader();
    head.workCycle = 0.01f;
    live.m_sonar.setHeader(head);
    live.m_sonar.setEchoes({{0, 800, 20000, 3}}, 50);
    live.m_sonar.setFrameRate(300);
    live.m_sonar.setFrameLimit(frames);
    live.m_sonar.start();

    QTemporaryDir dir;
    for (int i = 0; results < frames && i < 4000; ++i) {
        processing.init();
        processing.setIsShowPoint(i % 2 == 0);
        emit live.m_center->sigSaveFile(
            QUrl::fromLocalFile(dir.filePath(QStringLiteral("r%1.DB").arg(i % 3))).toString());
        emit live.m_center->sigStopSaveFile();
        QTest::qWait(2);
    }
    QTRY_COMPARE_WITH_TIMEOUT(results, frames, 20000);
    live.m_sonar.stop();
    live.m_receiver.stop();
    processing.stop();
    QCOMPARE(live.m_ring->lostPackets(), 0u);
}

QTEST_MAIN(tst_ProcessingLive)
#include "tst_processing_live.moc"
