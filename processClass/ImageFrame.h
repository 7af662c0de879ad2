#pragma once

#include "processClass/FrameResult.h"
#include "processClass/PackageInfo.h"

#include <QList>
#include <QtGlobal>

#include <vector>

// One stored sweep image of a replay: the accumulation image with its gamma applied, the
// results of the frames drawn into it and the header of its last frame. Held by value; the
// samples are implicitly shared, so the copies in the point-cloud store and in the 3D view
// share the history's 1.28 MB per image until one of them is written (read them through a
// const reference, or a write access detaches a private copy).
struct ImageFrame
{
    QList<quint16> image; // cols x rows samples, row after row
    std::vector<FrameResult> results;
    quint16 n = 0;
    packageInfo header;
    quint32 index = 0;
    qint32 cols = 0;
    qint32 rows = 0;
};
