#include "ReplayWiring.h"

#include "app/InformationCenter.h"
#include "processClass/FileRead.h"
#include "processClass/PointCloudCache.h"
#include "processClass/Processing.h"

#include <QElapsedTimer>
#include <QTest>
#include <QUrl>

#include <atomic>

void wireReplay(FileRead &reader, Processing &processing, InformationCenter *center)
{
    QObject::connect(&reader, &FileRead::sigReadingFile, &processing, [&processing] {
        processing.clearHistory();
        processing.clearStopRequest();
        processing.init();
    });
    QObject::connect(
        center, &InformationCenter::sigStopReadFile, &processing,
        [&processing] { processing.requestStop(); }, Qt::DirectConnection);
}

std::vector<CloudPoint> storedPoints()
{
    std::vector<CloudPoint> points(PointCloudCache::capacity);
    quint32 count = 0;
    PointCloudCache::instance().readPoints(&count, reinterpret_cast<float *>(points.data()));
    points.resize(count);
    return points;
}

double timedReplay(const QString &path, int timeoutMs,
                   const std::function<void(Processing &)> &after)
{
    PacketRing *ring = nullptr;
    InformationCenter *center = new InformationCenter;
    double seconds = -1;
    {
        Processing processing(&ring, &center);
        Processing *processingPtr = &processing;
        FileRead reader(&processingPtr, &center);
        wireReplay(reader, processing, center);
        std::atomic<qint64> endedNs{0};
        QElapsedTimer timer;
        QObject::connect(
            center, &InformationCenter::sigStopReadFile, center,
            [&] { endedNs = timer.nsecsElapsed(); }, Qt::DirectConnection);
        timer.start();
        emit center->sigReadFile(QUrl::fromLocalFile(path).toString());
        if (QTest::qWaitFor([&] { return endedNs.load() != 0; }, timeoutMs))
            seconds = endedNs.load() / 1e9;
        reader.stop();
        if (after)
            after(processing);
    }
    delete center;
    return seconds;
}
