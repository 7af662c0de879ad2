#pragma once

#include "processClass/FrameResult.h"
#include "processClass/PackageInfo.h"

#include <QImage>
#include <QPointF>

#include <vector>

class QPainter;

// Turns 16-bit sector samples into the picture the operator sees: gamma, the linear map into
// the palette's 1024 entries, the palette colour, and a transparent layer of target markers
// on top. Holds the last picture and the marker layer between batches.
class SweepRenderer
{
public:
    // How samples become colours. gamma 1 applies no curve.
    struct Style
    {
        double gamma = 1.0;
        double scale = 0.015;
        double offest = 0.0;
        int switchColor = 0;
    };

    // The palette value of one sample after the curve: v * scale + offest, toward zero,
    // clamped to 0..1023 (a NaN gives 0).
    static quint16 paletteValue(quint16 v, double scale, double offest);

    // Colours rows x cols samples into a new opaque image, which also becomes sectorImage().
    // Returns a null image when it cannot be allocated.
    QImage colour(const quint16 *samples, int cols, int rows, const Style &style);

    // The live layer: erases the two pies swept by this batch (from its first frame), then
    // draws a cyan dot for every echo in results.
    void drawBatchMarkers(const std::vector<FrameResult> &results, const packageInfo &first,
                          quint16 n, int imageRadius);
    // The layer of a stored image: erased whole, then one dot per echo.
    void drawStoredMarkers(const std::vector<FrameResult> &results, const packageInfo &head,
                           int imageRadius);
    // Paints the marker layer over sectorImage().
    void composite();

    // Erases the pie of half-width hs around bearing a + 180 from the layer painter draws on.
    static void clearSector(QPainter *painter, const QPointF &centre, double radius, double hs,
                            double a);

    // Makes the picture and the marker layer transparent.
    void clear();
    // Makes only the marker layer transparent.
    void clearMarkers();

    const QImage &sectorImage() const { return m_sectorImage; }

private:
    struct LutKey
    {
        double gamma = 0;
        double scale = 0;
        double offest = 0;
        int palette = -1;
        bool operator==(const LutKey &o) const;
    };

    void prepareLut(const Style &style);
    bool prepareOverlay();
    void drawDots(QPainter &painter, const std::vector<FrameResult> &results, double metresPerPixel,
                  double radius, const QPointF &centre);

    QImage m_sectorImage{512, 512, QImage::Format_RGB32};
    QImage m_overlayImage;
    // Colour of every possible sample under the current style: one lookup per pixel.
    std::vector<QRgb> m_lut;
    LutKey m_lutKey;
    bool m_lutValid = false;
};
