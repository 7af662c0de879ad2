#include "ReplayWiring.h"

#include "app/InformationCenter.h"
#include "processClass/FileRead.h"
#include "processClass/PointCloudCache.h"
#include "processClass/Processing.h"

void wireReplay(FileRead &reader, Processing &processing, InformationCenter *center)
{
    QObject::connect(&reader, &FileRead::sigReadingFile, &processing, [&processing] {
        processing.clearHistory();
        processing.clearStopRequest();
        processing.init();
    });
    QObject::connect(center, &InformationCenter::sigStopReadFile, &processing,
                     [&processing] { processing.requestStop(); });
}

std::vector<CloudPoint> storedPoints()
{
    std::vector<CloudPoint> points(PointCloudCache::capacity);
    quint32 count = 0;
    PointCloudCache::instance().readPoints(&count, reinterpret_cast<float *>(points.data()));
    points.resize(count);
    return points;
}
