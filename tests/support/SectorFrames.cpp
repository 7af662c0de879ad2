#include "SectorFrames.h"

#include <algorithm>

SectorFrame::SectorFrame(float direction, float step, quint32 bins, quint16 numPerRow,
                         float maxDist, float distReso)
{
    m_head.direction = direction;
    m_head.vez25EDirectionAngle = step;
    m_head.dataHeight = bins;
    m_head.numPerRow = numPerRow;
    m_head.maxDist = maxDist;
    m_head.distReso = distReso;
    m_samples.assign(std::size_t(bins) * numPerRow, 0);
    m_bytes = quint32(m_samples.size() * 2);
}

SectorFrame &SectorFrame::fill(int baseA, int baseB)
{
    for (quint32 i = 0; i < m_head.dataHeight; ++i) {
        m_samples[i * m_head.numPerRow] = quint16(baseA + int(i));
        if (m_head.numPerRow >= 2)
            m_samples[i * m_head.numPerRow + 1] = quint16(baseB + int(i));
    }
    return *this;
}

SectorFrame &SectorFrame::fillAll(quint16 value)
{
    std::fill(m_samples.begin(), m_samples.end(), value);
    return *this;
}

SectorBatch::SectorBatch(const std::vector<SectorFrame> &frames)
{
    for (const SectorFrame &f : frames) {
        m_heads.push_back(&f.m_head);
        m_data.push_back(reinterpret_cast<const uchar *>(f.m_samples.data()));
        m_bytes.push_back(f.m_bytes);
    }
}
