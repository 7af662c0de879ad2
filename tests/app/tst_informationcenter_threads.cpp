#include "app/InformationCenter.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

// Worker threads read and write some of the hub's values while the GUI thread writes and
// reads them too. Each value must come out whole: one of the values written, never a mix.
// Under ThreadSanitizer this test also proves the accesses are properly synchronised.

namespace {

constexpr int rounds = 20000;

const QString textA =
    QStringLiteral("192.168.100.200 first address text, long enough to be allocated");
const QString textB = QStringLiteral("10.0.0.1 second");

} // namespace

class TestInformationCenterThreads : public QObject
{
    Q_OBJECT

private slots:
    void workerAndGuiShareValues();
};

void TestInformationCenterThreads::workerAndGuiShareValues()
{
    InformationCenter hub;
    std::atomic<int> torn{0};
    std::atomic<bool> workerDone{false};
    int removeAngleSignals = 0;
    // Queued to this (GUI) thread when the worker makes the change.
    connect(&hub, &InformationCenter::removeAngleChanged, this, [&] {
        QCOMPARE(QThread::currentThread(), thread());
        ++removeAngleSignals;
    });

    std::thread worker([&] {
        for (int i = 0; i < rounds; ++i) {
            const float speed = hub.speedMove();
            const double gamma = hub.targetGamma();
            const double scale = hub.scale();
            const double offset = hub.offest();
            const int color = hub.switchColor();
            const auto status = hub.m_fileStatus();
            const QString host = hub.hostIp();
            const QStringList list = hub.searchedNameAndIp();
            if ((speed != 0.1f && speed != 2.75f) || (gamma != 1.4 && gamma != 2.2)
                || (scale != 0.015 && scale != 0.5) || (offset != 0.0 && offset != -7.25)
                || (color != 0 && color != 5)
                || (host != QLatin1String("127.0.0.1") && host != textA && host != textB)
                || (!list.isEmpty() && list != QStringList{textA, textB}))
                ++torn;
            (void)hub.isWholeOrHalf();
            (void)hub.isStart();
            (void)status;
            hub.setRemoveAngle((i % 2) ? 12.5 : 300.25);
            hub.setRemoveAngle2((i % 2) ? 65535.0 : 45.5);
            if (i % 64 == 0) {
                hub.f_setFileStatusReading();
                hub.f_setFileStatusNone();
            }
        }
        workerDone = true;
    });

    int i = 0;
    while (!workerDone || i < rounds) {
        const bool odd = (i++ % 2) != 0;
        hub.setSpeedMove(odd ? 2.75f : 0.1f);
        hub.setTargetGamma(odd ? 2.2 : 1.4);
        hub.setScale(odd ? 0.5 : 0.015);
        hub.setOffest(odd ? -7.25 : 0.0);
        hub.setSwitchColor(odd ? 5 : 0);
        hub.setIsWholeOrHalf(!odd);
        hub.setIsStart(odd);
        hub.setHostIp(odd ? textA : textB);
        hub.setSearchedNameAndIp(odd ? QStringList{textA, textB} : QStringList());
        hub.setFileStatus(odd ? InformationCenter::FileStatus::Saving
                              : InformationCenter::FileStatus::None);
        const double angle = hub.removeAngle();
        const double angle2 = hub.removeAngle2();
        if ((angle != 0.0 && angle != 12.5 && angle != 300.25)
            || (angle2 != 65535.0 && angle2 != 45.5))
            ++torn;
        if (i % 256 == 0)
            QCoreApplication::processEvents();
    }
    worker.join();
    QCoreApplication::processEvents();

    QCOMPARE(torn.load(), 0);
    QCOMPARE(hub.removeAngle(), 12.5);
    QVERIFY(removeAngleSignals > 0);
}

QTEST_GUILESS_MAIN(TestInformationCenterThreads)
#include "tst_informationcenter_threads.moc"
