#include "processClass/ImageHistory.h"

#include "processClass/GammaCorrect.h"

#include <algorithm>
#include <utility>

int ImageHistory::push(quint16 n, const packageInfo &header, const quint16 *accImage, qint32 cols,
                       qint32 rows, std::vector<FrameResult> &results)
{
    ImageFrame frame;
    frame.n = n;
    frame.header = header;
    frame.cols = cols;
    frame.rows = rows;
    frame.index = m_nextImageIndex++;
    frame.results = std::move(results);
    results.clear();

    const quint32 count =
        static_cast<quint32>(std::max(0, cols)) * static_cast<quint32>(std::max(0, rows));
    // resize, not the constructor from a range: only resize throws std::bad_alloc when the
    // memory has run out, the other writes through a null pointer.
    frame.image.resize(qsizetype(count));
    std::copy(accImage, accImage + count, frame.image.data());
    gammaCorrect(frame.image.data(), count, double(header.gamma) - 1.0, 1.0);

    m_frames.push_back(std::move(frame));
    if (m_frames.size() > static_cast<std::size_t>(maxHistory))
        m_frames.pop_front();
    return size() - 1;
}
