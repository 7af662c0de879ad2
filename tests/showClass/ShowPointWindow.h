#pragma once

#include "showClass/ShowPoint.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QQuickWindow>

#include <memory>

// A Qt Quick window that tells how many objects draw through its render hooks (a renderer
// that is deleted leaves them).
class ProbeWindow : public QQuickWindow
{
public:
    int renderHooks() const
    {
        return receivers(SIGNAL(beforeRendering()))
               + receivers(SIGNAL(beforeRenderPassRecording()));
    }
};

// A 1080 by 800 window with a ShowPoint filling it, as the main window holds the 3D view.
// Pixel positions are in the grabbed image (origin top left).
class ShowPointWindow
{
public:
    static constexpr int width = 1080;
    static constexpr int height = 800;

    // Before the application exists: Qt Quick on OpenGL, and a 3.3 core profile when the
    // environment asks for it (KORVESSA_TEST_CORE_PROFILE=1).
    static void selectGraphics();

    explicit ShowPointWindow(bool withItem = true);

    ProbeWindow m_window;
    ShowPoint *m_item = nullptr; // owned by the window's content item

    bool show();
    QImage grab();
    // Whether the grabbed frame shows the view (its compass).
    static bool viewDrawn(const QImage &frame);
    // Main view centre in image pixels, and a point (ox, oy) pixels right of and above it.
    static QPointF viewCentre();
    static QPoint atOffset(double ox, double oy);
    // Compass centre is between pixels; (dx, dy) pixels right and up of it.
    static QPoint compassAt(int dx, int dy);

    static bool sameColour(QRgb a, QRgb b, int tolerance);
    // Whether a pixel within `radius` of p has colour c (within tolerance).
    static bool colourNear(const QImage &frame, QPoint p, QRgb c, int tolerance, int radius = 1);
};
