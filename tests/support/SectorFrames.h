#pragma once

#include "processClass/PackageInfo.h"

#include <QtGlobal>

#include <vector>

// A frame as the assembler hands it to the sector image: its header, numPerRow interleaved
// 16-bit samples per range bin, and the byte count that bounds what may be read of them.
struct SectorFrame
{
    packageInfo m_head;
    std::vector<quint16> m_samples;
    quint32 m_bytes = 0;

    SectorFrame(float direction, float step, quint32 bins, quint16 numPerRow = 2,
                float maxDist = 40, float distReso = 0.1f);

    // Beam A holds baseA + bin, beam B baseB + bin.
    SectorFrame &fill(int baseA, int baseB);
    // Every sample of both beams holds value.
    SectorFrame &fillAll(quint16 value);
};

// The pointer arrays over a list of frames, as the accumulation and drawing take them.
struct SectorBatch
{
    std::vector<const packageInfo *> m_heads;
    std::vector<const uchar *> m_data;
    std::vector<quint32> m_bytes;

    explicit SectorBatch(const std::vector<SectorFrame> &frames);
    int size() const { return int(m_heads.size()); }
};
