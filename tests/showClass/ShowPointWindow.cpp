#include "ShowPointWindow.h"

#include <QSGRendererInterface>
#include <QSurfaceFormat>
#include <QTest>

#include <cmath>
#include <cstdlib>

void ShowPointWindow::selectGraphics()
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    if (qEnvironmentVariableIntValue("KORVESSA_TEST_CORE_PROFILE") == 1) {
        QSurfaceFormat format = QSurfaceFormat::defaultFormat();
        format.setVersion(3, 3);
        format.setProfile(QSurfaceFormat::CoreProfile);
        QSurfaceFormat::setDefaultFormat(format);
    }
}

ShowPointWindow::ShowPointWindow(bool withItem)
{
    m_window.resize(width, height);
    if (withItem) {
        m_item = new ShowPoint;
        m_item->setParent(m_window.contentItem());
        m_item->setParentItem(m_window.contentItem());
        m_item->setSize(QSizeF(width, height));
    }
}

bool ShowPointWindow::show()
{
    m_window.show();
    return QTest::qWaitForWindowExposed(&m_window);
}

QImage ShowPointWindow::grab()
{
    return m_window.grabWindow().convertToFormat(QImage::Format_RGB32);
}

bool ShowPointWindow::viewDrawn(const QImage &frame)
{
    // Some part of the compass, whichever way it is turned: a pure red, green or blue pixel.
    for (int y = 0; y < 200; ++y)
        for (int x = 880; x < 1080; ++x) {
            const QRgb c = frame.pixel(x, y);
            if (sameColour(c, qRgb(255, 0, 0), 8) || sameColour(c, qRgb(0, 255, 0), 8)
                || sameColour(c, qRgb(0, 0, 255), 8))
                return true;
        }
    return false;
}

QPointF ShowPointWindow::viewCentre()
{
    // Main view: x 651, width 429; y 30 from the bottom, height 770.
    return QPointF(651 + 429 / 2.0, height - (30 + 770 / 2.0));
}

QPoint ShowPointWindow::atOffset(double ox, double oy)
{
    const QPointF c = viewCentre();
    return QPoint(int(std::floor(c.x() + ox)), int(std::floor(c.y() - oy)));
}

QPoint ShowPointWindow::compassAt(int dx, int dy)
{
    // The compass spans x 880 to 1079 and the top 200 rows; its centre lies at (980, 100).
    return QPoint(980 + dx, 100 - dy);
}

bool ShowPointWindow::sameColour(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
           && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

bool ShowPointWindow::colourNear(const QImage &frame, QPoint p, QRgb c, int tolerance, int radius)
{
    for (int y = p.y() - radius; y <= p.y() + radius; ++y)
        for (int x = p.x() - radius; x <= p.x() + radius; ++x)
            if (frame.valid(x, y) && sameColour(frame.pixel(x, y), c, tolerance))
                return true;
    return false;
}
