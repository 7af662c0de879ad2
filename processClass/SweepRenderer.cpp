#include "processClass/SweepRenderer.h"

#include "processClass/ColorTable.h"
#include "processClass/GammaTable.h"
#include "processClass/SameBits.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

bool SweepRenderer::LutKey::operator==(const LutKey &o) const
{
    return sameBits(gamma, o.gamma) && sameBits(scale, o.scale) && sameBits(offest, o.offest)
           && palette == o.palette;
}

quint16 SweepRenderer::paletteValue(quint16 v, double scale, double offest)
{
    const double value = v * scale + offest;
    // Clamped in floating point first: a huge or NaN value never reaches the integer cast.
    if (!(value >= 0.0))
        return 0;
    if (value >= 1024.0)
        return 1023;
    return static_cast<quint16>(std::min(1023, static_cast<int>(value)));
}

void SweepRenderer::prepareLut(const Style &style)
{
    const LutKey key{style.gamma, style.scale, style.offest,
                     ColorTable::paletteIndex(style.switchColor)};
    if (m_lutValid && key == m_lutKey)
        return;
    const auto gamma = GammaTable::shared(style.gamma - 1.0, 1.0);
    const QList<QRgb> palette = ColorTable::instance().palette(key.palette);
    m_lut.resize(65536);
    for (int v = 0; v < 65536; ++v) {
        const quint16 corrected = gamma ? (*gamma)[quint16(v)] : quint16(v);
        m_lut[v] = palette[paletteValue(corrected, style.scale, style.offest)] | 0xFF000000u;
    }
    m_lutKey = key;
    m_lutValid = true;
}

QImage SweepRenderer::colour(const quint16 *samples, int cols, int rows, const Style &style)
{
    prepareLut(style);
    QImage image(cols, rows, QImage::Format_RGB32);
    if (image.isNull()) {
        m_sectorImage = image;
        return image;
    }
    const QRgb *lut = m_lut.data();
    for (int r = 0; r < rows; ++r) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(r));
        const quint16 *in = samples + std::size_t(r) * cols;
        for (int c = 0; c < cols; ++c)
            line[c] = lut[in[c]];
    }
    m_sectorImage = image;
    return image;
}

bool SweepRenderer::prepareOverlay()
{
    if (m_overlayImage.isNull() || m_overlayImage.size() != m_sectorImage.size()) {
        m_overlayImage = QImage(m_sectorImage.size(), QImage::Format_ARGB32_Premultiplied);
        if (m_overlayImage.isNull())
            return false;
        m_overlayImage.fill(Qt::transparent);
    }
    return true;
}

void SweepRenderer::clearSector(QPainter *painter, const QPointF &centre, double radius, double hs,
                                double a)
{
    painter->setCompositionMode(QPainter::CompositionMode_Clear);
    QPainterPath path;
    path.moveTo(centre);
    path.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
               -(a + 90) - hs, hs + hs);
    path.closeSubpath();
    painter->fillPath(path, QBrush(Qt::transparent, Qt::SolidPattern));
    painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void SweepRenderer::drawDots(QPainter &painter, const std::vector<FrameResult> &results,
                             double metresPerPixel, double radius, const QPointF &centre)
{
    auto dot = [&](double angle, double range) {
        if (!(range > 0))
            return;
        // A negative maxDist in a header would otherwise mirror the marker through the centre.
        const double p = range / metresPerPixel;
        if (!(p >= 0 && p < radius))
            return;
        const double t = (360 - angle - 90) * 0.017453292519943295;
        painter.drawEllipse(QPointF(centre.x() + std::cos(t) * p, centre.y() - std::sin(t) * p),
                            1.0, 1.0);
    };
    for (const FrameResult &r : results) {
        dot(r.angleA, r.rangeA);
        dot(r.angleB, r.rangeB);
    }
}

void SweepRenderer::drawBatchMarkers(const std::vector<FrameResult> &results,
                                     const packageInfo &first, quint16 n, int imageRadius)
{
    if (results.empty() || !prepareOverlay())
        return;
    QPainter painter(&m_overlayImage);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPointF centre(m_sectorImage.width() * 0.5, m_sectorImage.height() * 0.5);
    const double radius = std::min(m_sectorImage.width(), m_sectorImage.height()) * 0.5;
    const double hs = double(first.vez25EDirectionAngle) * (n * 0.5);
    const double metresPerPixel = double(first.maxDist) / imageRadius;

    const double a1 = double(first.direction) + hs;
    double a2 = a1 - 180;
    if (a2 < 0)
        a2 += 360;
    clearSector(&painter, centre, radius, hs, a1);
    clearSector(&painter, centre, radius, hs, a2);

    painter.setPen(QPen(QBrush(Qt::cyan), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setBrush(QBrush(Qt::cyan, Qt::SolidPattern));
    drawDots(painter, results, metresPerPixel, radius, centre);
}

void SweepRenderer::drawStoredMarkers(const std::vector<FrameResult> &results,
                                      const packageInfo &head, int imageRadius)
{
    if (results.empty() || !prepareOverlay())
        return;
    QPainter painter(&m_overlayImage);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPointF centre(m_sectorImage.width() * 0.5, m_sectorImage.height() * 0.5);
    const double radius = std::min(m_sectorImage.width(), m_sectorImage.height()) * 0.5;
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.fillRect(m_overlayImage.rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(Qt::cyan, Qt::SolidPattern));
    drawDots(painter, results, double(head.maxDist) / imageRadius, radius, centre);
}

void SweepRenderer::composite()
{
    if (m_overlayImage.isNull() || m_sectorImage.isNull())
        return;
    // Painting detaches the picture from any copy already handed out.
    QPainter painter(&m_sectorImage);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(0, 0, m_overlayImage);
}

void SweepRenderer::clear()
{
    m_sectorImage.fill(Qt::transparent);
    if (!m_overlayImage.isNull())
        m_overlayImage.fill(Qt::transparent);
}

void SweepRenderer::clearMarkers()
{
    if (!m_overlayImage.isNull())
        m_overlayImage.fill(Qt::transparent);
}
