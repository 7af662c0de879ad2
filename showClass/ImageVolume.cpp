#include "showClass/ImageVolume.h"

#include <QDebug>

#include <new>

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
        volume->bytes.assign(std::size_t(total), 0);
    } catch (const std::bad_alloc &) {
        qWarning() << "buildVolume: no memory for a volume of" << total << "bytes";
        return nullptr;
    }
    volume->width = w;
    volume->height = h;
    volume->depth = int(depth);

    quint8 *out = volume->bytes.data();
    double length = 0;
    for (const ImageFrame &frame : images) {
        length += double(frame.header.speed) / 1000.0 * double(frame.n);
        const QList<quint16> &samples = frame.image;
        if (frame.cols == w && frame.rows == h && quint64(samples.size()) >= layer) {
            const quint16 *in = samples.constData();
            for (quint64 j = 0; j < layer; ++j)
                out[j] = quint8(in[j] >> 8);
        }
        out += layer;
    }
    volume->length = length;
    return volume;
}
