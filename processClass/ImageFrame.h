#pragma once

#include "processClass/FrameResult.h"
#include "processClass/PackageInfo.h"

#include <QtGlobal>

#include <vector>

// One stored sweep image of a replay: the accumulation image with its gamma applied, the
// results of the frames drawn into it and the header of its last frame. Owns its arrays by
// value; copying one copies them.
struct ImageFrame
{
    std::vector<quint16> image; // cols x rows samples, row after row
    std::vector<FrameResult> results;
    quint16 n = 0;
    packageInfo header;
    quint32 index = 0;
    qint32 cols = 0;
    qint32 rows = 0;
};
