#include "showClass/ViewMath.h"

#include <cmath>

namespace ViewMath {

QRect mainViewRegion(int windowWidth, int windowHeight)
{
    return QRect(3 * windowWidth / 5 + 3, 30, 2 * windowWidth / 5 - 3, windowHeight - 30);
}

QRect compassRegion(int windowWidth, int windowHeight)
{
    return QRect(windowWidth - 200, windowHeight - 200, 200, 200);
}

bool canDraw(int windowWidth, int windowHeight, double scale)
{
    const QRect view = mainViewRegion(windowWidth, windowHeight);
    return view.width() > 0 && view.height() > 0 && scale > 0;
}

float unitsPerPixel(const QRect &view, float orthoHalfHeight)
{
    return 2.0f * orthoHalfHeight / float(view.height());
}

QMatrix4x4 projection(const QRect &view, float orthoHalfHeight)
{
    const float s = unitsPerPixel(view, orthoHalfHeight);
    const float halfW = float(view.width()) * s * 0.5f;
    const float halfH = float(view.height()) * s * 0.5f;
    QMatrix4x4 p;
    p.ortho(-halfW, halfW, -halfH, halfH, -1000.0f, 1000.0f);
    return p;
}

QMatrix4x4 compassMatrix(double pitch, double roll)
{
    QMatrix4x4 m;
    m.rotate(float(pitch), 1.0f, 0.0f, 0.0f);
    m.rotate(float(roll), 0.0f, 0.0f, 1.0f);
    return m;
}

QMatrix4x4 modelMatrix(double pitch, double roll, double scale, const QVector3D &pan)
{
    QMatrix4x4 m = compassMatrix(pitch, roll);
    if (scale > 0)
        m.scale(float(scale));
    m.translate(pan);
    return m;
}

float sliceFraction(int sliceIndex, int frameCount)
{
    if (frameCount <= 1)
        return 0.0f;
    return float(sliceIndex) / float(frameCount - 1);
}

QMatrix4x4 sliceMatrix(const QMatrix4x4 &model, float t, double volumeLength)
{
    QMatrix4x4 m = model;
    m.rotate(180.0f, 0.0f, 0.0f, 1.0f);
    m.translate(float(-(double(t) * volumeLength)), 0.0f, 0.0f);
    return m;
}

std::optional<QVector3D> panDelta(float dx, float dy, int windowWidth, int windowHeight,
                                  double pitch, double roll, double scale, float orthoHalfHeight)
{
    if (!canDraw(windowWidth, windowHeight, scale) || !std::isfinite(dx) || !std::isfinite(dy))
        return std::nullopt;
    const QRect view = mainViewRegion(windowWidth, windowHeight);
    const float vw = float(view.width());
    const float vh = float(view.height());
    const float s = unitsPerPixel(view, orthoHalfHeight);
    const QMatrix4x4 inverse = projection(view, orthoHalfHeight).inverted();
    const QVector3D n(2.0f * dx / vw, -2.0f * dy / vh, 0.0f);
    const float k = float(double(s) * 1000.0 / scale);
    QVector3D d = inverse.mapVector(n) * k;
    d.setZ(0.0f);
    const QVector3D delta = compassMatrix(pitch, roll).inverted().mapVector(d);
    if (!std::isfinite(delta.x()) || !std::isfinite(delta.y()) || !std::isfinite(delta.z()))
        return std::nullopt;
    return delta;
}

ColorTable4f pointColorMap()
{
    ColorTable4f out{};
    for (int i = 0; i < colorEntries; ++i) {
        const float x = 1.0f - float(i) / 1023.0f;
        float h = 3.96f;
        if (x < 0.15f)
            h = 0.0f;
        else if (x < 0.85f)
            h = (x - 0.15f) / 0.7f * 0.66f * 6.0f;
        const int k = int(h);
        const float f = h - float(k);
        const float q = 1.0f - f;
        const float t = 1.0f - q;
        float r = 0, g = 0, b = 0;
        switch (k) {
        case 0:
            r = 1;
            g = t;
            b = 0;
            break;
        case 1:
            r = q;
            g = 1;
            b = 0;
            break;
        case 2:
            r = 0;
            g = 1;
            b = t;
            break;
        case 3:
            r = 0;
            g = q;
            b = 1;
            break;
        case 4:
            r = t;
            g = 0;
            b = 1;
            break;
        default:
            r = 1;
            g = 0;
            b = q;
            break;
        }
        out[4 * i] = r;
        out[4 * i + 1] = g;
        out[4 * i + 2] = b;
        out[4 * i + 3] = 1.0f;
    }
    return out;
}

ColorTable4f paletteColors(const QList<QRgb> &palette)
{
    ColorTable4f out{};
    for (int i = 0; i < colorEntries; ++i) {
        const QRgb c = i < palette.size() ? palette[i] : qRgb(0, 0, 0);
        out[4 * i] = float(qRed(c)) / 255.0f;
        out[4 * i + 1] = float(qGreen(c)) / 255.0f;
        out[4 * i + 2] = float(qBlue(c)) / 255.0f;
        out[4 * i + 3] = 1.0f;
    }
    return out;
}

namespace {

struct CompassWriter
{
    std::array<float, compassFloats> m_data{};
    int m_next = 0;

    void vertex(float x, float y, float z, const QVector3D &colour)
    {
        float *v = m_data.data() + 6 * m_next++;
        v[0] = x;
        v[1] = y;
        v[2] = z;
        v[3] = colour.x();
        v[4] = colour.y();
        v[5] = colour.z();
    }
    void line(float x0, float y0, float x1, float y1, const QVector3D &colour)
    {
        vertex(x0, y0, 0, colour);
        vertex(x1, y1, 0, colour);
    }
    // Four triangles from the apex to the base square around the axis, in the order
    // (+u, +w), (+w, -u), (-u, -w), (-w, +u); axis, u and w are unit vectors.
    void arrowHead(const QVector3D &axis, const QVector3D &u, const QVector3D &w,
                   const QVector3D &colour)
    {
        const QVector3D apex = axis * 0.6f;
        const QVector3D base = axis * 0.4f;
        const QVector3D around[4] = {u, w, -u, -w};
        for (int k = 0; k < 4; ++k) {
            const QVector3D a = base + around[k] * 0.05f;
            const QVector3D b = base + around[(k + 1) % 4] * 0.05f;
            vertex(apex.x(), apex.y(), apex.z(), colour);
            vertex(a.x(), a.y(), a.z(), colour);
            vertex(b.x(), b.y(), b.z(), colour);
        }
    }
};

} // namespace

std::array<float, compassFloats> compassGeometry()
{
    const QVector3D red(1, 0, 0), green(0, 1, 0), blue(0, 0, 1);
    const QVector3D ex(1, 0, 0), ey(0, 1, 0), ez(0, 0, 1);
    CompassWriter w;
    w.vertex(-0.4f, 0, 0, red);
    w.vertex(0.4f, 0, 0, red);
    w.vertex(0, -0.4f, 0, green);
    w.vertex(0, 0.4f, 0, green);
    w.vertex(0, 0, -0.4f, blue);
    w.vertex(0, 0, 0.4f, blue);
    w.line(-0.08f, 0.08f, 0.08f, -0.08f, red);
    w.line(-0.08f, -0.08f, 0.08f, 0.08f, red);
    w.line(-0.06f, 0.06f, 0, 0, green);
    w.line(0.06f, 0.06f, 0, 0, green);
    w.line(0, 0, 0, -0.09f, green);
    w.line(-0.08f, 0.08f, 0.08f, 0.08f, blue);
    w.line(0.08f, 0.08f, -0.08f, -0.08f, blue);
    w.line(-0.08f, -0.08f, 0.08f, -0.08f, blue);
    w.arrowHead(ex, ey, ez, red);
    w.arrowHead(ey, ex, ez, green);
    w.arrowHead(ez, ex, ey, blue);
    return w.m_data;
}

std::array<float, quadFloats> initialQuad()
{
    return {-5, -5, 0, 0, 0, 0, 5, -5, 0, 1, 0, 0, -5, 5, 0, 0, 1, 0, 5, 5, 0, 1, 1, 0};
}

std::optional<std::array<float, quadFloats>> sliceQuad(float f)
{
    // Zero would hide the image, a negative range turn it half round against its points.
    if (!(f > 0) || !std::isfinite(f))
        return std::nullopt;
    return std::array<float, quadFloats>{0, -f, -f, 0, 0, 0, 0, f, -f, 1, 0, 0,
                                         0, -f, f,  0, 1, 0, 0, f, f,  1, 1, 0};
}

} // namespace ViewMath
