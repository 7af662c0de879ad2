#include "app/InformationCenter.h"
#include "processClass/PacketRing.h"
#include "processClass/Processing.h"
#include "support/CraftedStream.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <atomic>
#include <limits>

// A running Processing flooded with crafted frames whose scan step makes every sector the
// whole circle, while the GUI thread calls every slot and handler it has: each call returns
// long before a bound that only a hang exceeds, and the loop takes the requests on between
// frames.
class tst_ProcessingFlood : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void guiCallsReturnDuringAFlood_data();
    void guiCallsReturnDuringAFlood();
};

void tst_ProcessingFlood::initTestCase()
{
    qRegisterMetaType<packageInfo>("packageInfo");
    // Every init clears the point store, which says so at debug level.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void tst_ProcessingFlood::guiCallsReturnDuringAFlood_data()
{
    QTest::addColumn<float>("step");
    QTest::addColumn<float>("workCycle");
    QTest::newRow("step 1e6, a picture per frame") << 1e6f << 0.1f;
    QTest::newRow("step 5e31, a picture per 20 frames") << 5e31f << 0.005f;
    QTest::newRow("largest float step") << std::numeric_limits<float>::max() << 0.1f;
    QTest::newRow("infinite step") << std::numeric_limits<float>::infinity() << 0.005f;
}

void tst_ProcessingFlood::guiCallsReturnDuringAFlood()
{
    QFETCH(float, step);
    QFETCH(float, workCycle);
    PacketRing *ring = new PacketRing(packetSize, 50000);
    InformationCenter *center = new InformationCenter(this);
    QTemporaryDir dir;
    auto url = [&](int k) {
        return QUrl::fromLocalFile(dir.filePath(QStringLiteral("r%1.DB").arg(k))).toString();
    };
    const QString written = dir.filePath(QStringLiteral("r9PointCloud.txt"));
    qint64 longest = 0;
    std::atomic<int> frames{0};
    {
        Processing processing(&ring, &center);
        connect(
            &processing, &Processing::sigProcessOK, &processing,
            [&](packageInfo, float) { ++frames; }, Qt::DirectConnection);
        processing.start();
        // Far more than the loop can draw: it is never idle while the GUI thread calls.
        SimSonar::RingFeeder feeder(ring, SimSonar::craftedStream(step, workCycle, 400), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(frames.load() > 40, 20000);

        QElapsedTimer call;
        auto timed = [&](auto &&f) {
            call.start();
            f();
            longest = std::max(longest, call.elapsed());
        };
        for (int round = 0; round < 60; ++round) {
            timed([&] { processing.init(); });
            timed([&] { processing.setIsShowPoint(round % 2 == 0); });
            timed([&] { processing.clearHistory(); });
            timed([&] { emit center->clearImageBuffer(); });
            timed([&] { center->setIsStart(round % 2 == 0); });
            timed([&] { emit center->sigBrightnessOffset(round % 7); });
            timed([&] {
                center->setFileStatus(round % 2 ? InformationCenter::FileStatus::Saving
                                                : InformationCenter::FileStatus::None);
            });
            timed([&] { emit center->sigSaveFile(url(round % 3)); });
            timed([&] { emit center->sigStopSaveFile(); });
            QTest::qWait(5);
        }
        // A file opened while the flood goes on: the loop takes the request between two
        // frames, and the frames after that write their points into it.
        timed([&] { emit center->sigSaveFile(url(9)); });
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(written), 20000);
        const int opened = frames.load();
        QTRY_VERIFY_WITH_TIMEOUT(frames.load() > opened + 1, 20000);
        feeder.stop();
        processing.stop();
    }
    delete ring;
    QVERIFY2(longest < 2000,
             qPrintable(QStringLiteral("a GUI-thread call took %1 ms").arg(longest)));
    QFile file(written);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const int lines = file.readAll().count('\n');
    QVERIFY(lines >= 2);
    QCOMPARE(lines % 2, 0);
}

QTEST_MAIN(tst_ProcessingFlood)
#include "tst_processing_flood.moc"
