#pragma once

#include "processClass/ImageFrame.h"

#include <deque>

// The sweep images stored during a replay, oldest first, at most maxHistory of them.
class ImageHistory
{
public:
    static constexpr int maxHistory = 1000;

    // Stores a gamma-corrected copy of accImage (cols x rows samples) with the header and
    // the results gathered since the last image, which are moved out of results. Returns the
    // index of the newest image in the history.
    int push(quint16 n, const packageInfo &header, const quint16 *accImage, qint32 cols,
             qint32 rows, std::vector<FrameResult> &results);

    void clear() { m_frames.clear(); }
    const std::deque<ImageFrame> &frames() const { return m_frames; }
    int size() const { return static_cast<int>(m_frames.size()); }

    quint32 nextImageIndex() const { return m_nextImageIndex; }
    void setNextImageIndex(quint32 index) { m_nextImageIndex = index; }

private:
    std::deque<ImageFrame> m_frames;
    quint32 m_nextImageIndex = 0;
};
