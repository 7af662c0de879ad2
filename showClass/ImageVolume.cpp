#include "showClass/ImageVolume.h"

#include <QDebug>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

// The high byte of each sample. In blocks of a fixed length, which the compiler turns into
// vector instructions: a full history is 640 million samples, converted on the GUI thread.
void highBytes(const quint16 *__restrict in, quint8 *__restrict out, quint64 count)
{
    constexpr quint64 block = 64;
    quint64 j = 0;
    for (; j + block <= count; j += block)
        for (quint64 k = 0; k < block; ++k)
            out[j + k] = quint8(in[j + k] >> 8);
    for (; j < count; ++j)
        out[j] = quint8(in[j] >> 8);
}

} // namespace

std::shared_ptr<const ImageVolume> buildVolume(const std::deque<ImageFrame> &images)
{
    if (images.empty())
        return nullptr;
    const qint32 w = images.front().cols;
    const qint32 h = images.front().rows;
    const quint64 depth = images.size();
    quint64 layer = 0;
    quint64 total = 0;
    if (w <= 0 || h <= 0 || qMulOverflow(quint64(w), quint64(h), &layer)
        || qMulOverflow(layer, depth, &total) || total > quint64(PTRDIFF_MAX)
        || depth > quint64(INT_MAX)) {
        qWarning() << "buildVolume: images of" << w << "x" << h << "x" << depth
                   << "cannot be stacked";
        return nullptr;
    }

    auto volume = std::make_shared<ImageVolume>();
    try {
        // Every byte is written below: no zero-filling first (640 MB for a full history).
        volume->bytes = QByteArray(qsizetype(total), Qt::Uninitialized);
    } catch (const std::bad_alloc &) {
        qWarning() << "buildVolume: no memory for a volume of" << total << "bytes";
        return nullptr;
    }
    volume->width = w;
    volume->height = h;
    volume->depth = int(depth);

    auto *out = reinterpret_cast<quint8 *>(volume->bytes.data());
    double length = 0;
    for (const ImageFrame &frame : images) {
        // The replayed points advance only by a speed that is a number: so does the stack,
        // or one damaged header would move every slice off the points (or off the view).
        if (std::isfinite(frame.header.speed))
            length += double(frame.header.speed) / 1000.0 * double(frame.n);
        const QList<quint16> &samples = frame.image;
        if (frame.cols == w && frame.rows == h && quint64(samples.size()) >= layer)
            highBytes(samples.constData(), out, layer);
        else
            std::memset(out, 0, std::size_t(layer));
        out += layer;
    }
    volume->length = length;
    return volume;
}
