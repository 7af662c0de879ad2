#include "SectorFrames.h"

#include <algorithm>

SectorFrame::SectorFrame(float direction, float step, quint32 bins, quint16 numPerRow,
                         float maxDist, float distReso)
{
    head.direction = direction;
    head.vez25EDirectionAngle = step;
    head.dataHeight = bins;
    head.numPerRow = numPerRow;
    head.maxDist = maxDist;
    head.distReso = distReso;
    samples.assign(std::size_t(bins) * numPerRow, 0);
    bytes = quint32(samples.size() * 2);
}

SectorFrame &SectorFrame::fill(int baseA, int baseB)
{
    for (quint32 i = 0; i < head.dataHeight; ++i) {
        samples[i * head.numPerRow] = quint16(baseA + int(i));
        if (head.numPerRow >= 2)
            samples[i * head.numPerRow + 1] = quint16(baseB + int(i));
    }
    return *this;
}

SectorFrame &SectorFrame::fillAll(quint16 value)
{
    std::fill(samples.begin(), samples.end(), value);
    return *this;
}

SectorBatch::SectorBatch(const std::vector<SectorFrame> &frames)
{
    for (const SectorFrame &f : frames) {
        heads.push_back(&f.head);
        data.push_back(reinterpret_cast<const uchar *>(f.samples.data()));
        bytes.push_back(f.bytes);
    }
}
