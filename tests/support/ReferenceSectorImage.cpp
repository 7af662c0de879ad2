#include "ReferenceSectorImage.h"

#include "processClass/ColorTable.h"

#include <cmath>
#include <cstring>

namespace reference {

namespace {

double tableAngle(int r, int c)
{
    return std::atan2(c - 399.5, r - 399.5) * 180.0 / M_PI;
}

double tableDist(int r, int c)
{
    const double dc = c - 399.5;
    const double dr = r - 399.5;
    return std::sqrt(dc * dc + dr * dr);
}

double wrap(double v)
{
    if (v < -180.0)
        v += 360.0;
    if (v > 180.0)
        v -= 360.0;
    return v;
}

bool inSector(double a, double lo, double hi)
{
    return (lo < a && a < hi) || (lo - 360.0 < a && a < hi - 360.0)
           || (lo + 360.0 < a && a < hi + 360.0);
}

bool usable(double v)
{
    return std::isfinite(v) && v != 0.0;
}

} // namespace

double pixelAngle(int row, int col)
{
    return tableAngle(rows - 1 - row, col);
}

double pixelDistance(int row, int col)
{
    return tableDist(rows - 1 - row, col);
}

void generateImage(const packageInfo *const *heads, const uchar *const *data, const quint32 *bytes,
                   int num, quint16 *out)
{
    if (!heads || !data || !bytes || !out || num < 1)
        return;
    if (num > 20000)
        num = 20000;
    int first = -1;
    int last = -1;
    for (int k = 0; k < num; ++k) {
        if (heads[k]) {
            if (first < 0)
                first = k;
            last = k;
        }
    }
    if (last < 0)
        return;
    const double lastReso = heads[last]->distReso;
    const quint16 npr = heads[last]->numPerRow;
    const bool drawB = npr == 2 && heads[first]->blank != 2;
    if (!usable(lastReso))
        return;

    std::vector<double> loA(num), hiA(num), loB(num), hiB(num);
    for (int k = 0; k < num; ++k) {
        if (!heads[k])
            continue;
        const double w = 0.6 * double(heads[k]->vez25EDirectionAngle);
        const double cA = wrap(double(heads[k]->direction));
        const double cB = wrap(double(heads[k]->direction) + 180.0);
        loA[k] = cA - w;
        hiA[k] = cA + w;
        loB[k] = cB - w;
        hiB[k] = cB + w;
    }

    auto search = [&](double a, double d, int beam, const std::vector<double> &lo,
                      const std::vector<double> &hi, quint16 *pixel) {
        for (int k = 0; k < num; ++k) {
            if (!heads[k] || !data[k] || !usable(double(heads[k]->maxDist)))
                continue;
            if (!inSector(a, lo[k], hi[k]))
                continue;
            const double bin = std::round(double(heads[k]->maxDist) * d / radius / lastReso);
            if (!(bin >= 0 && bin < double(heads[k]->dataHeight)))
                continue;
            const quint64 index = static_cast<quint64>(bin) * npr + beam;
            if ((index + 1) * 2 > bytes[k])
                continue;
            std::memcpy(pixel, data[k] + 2 * index, 2);
            return;
        }
    };

    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const double a = tableAngle(r, c);
            const double d = tableDist(r, c);
            quint16 *pixel = out + (rows - 1 - r) * cols + c;
            search(a, d, 0, loA, hiA, pixel);
            if (drawB)
                search(a, d, 1, loB, hiB, pixel);
        }
    }
}

void gammaCorrect(quint16 *samples, quint32 count, double a, double b)
{
    const double s = a + b;
    if (std::fabs(s - 1.0) * 1e12 <= std::fmin(std::fabs(s), 1.0) || count == 0)
        return;
    for (quint32 i = 0; i < count; ++i) {
        const quint16 v = samples[i];
        if (v == 0)
            continue;
        double x = 65535.0 * std::pow(std::pow((v + 1e-10) / 65535.0, 1.0 / b), s);
        if (x > 65535.0)
            x = 65535.0;
        if (!(x > 0.0))
            x = 0.0;
        samples[i] = static_cast<quint16>(std::round(x));
    }
}

QImage colour(const quint16 *samples, double gamma, double scale, double offest, int switchColor)
{
    std::vector<quint16> work(samples, samples + rows * cols);
    gammaCorrect(work.data(), quint32(work.size()), gamma - 1.0, 1.0);
    for (quint16 &v : work) {
        double value = v * scale + offest;
        if (std::isnan(value))
            value = 0;
        value = std::fmax(-1.0, std::fmin(value, 2000.0));
        int iv = static_cast<int>(value);
        if (iv < 0)
            iv = 0;
        if (iv > 1023)
            iv = 1023;
        v = quint16(iv);
    }
    QImage image(cols, rows, QImage::Format_RGB32);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            image.setPixel(
                c, r, ColorTable::instance().color(switchColor, work[r * cols + c]) | 0xFF000000u);
    return image;
}

} // namespace reference
