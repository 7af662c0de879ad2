#include "showClass/ShowPoint.h"

#include "processClass/PointCloudCache.h"
#include "showClass/ShowRenderer.h"

#include <QQuickWindow>

#include <algorithm>
#include <cmath>
#include <utility>

ShowPoint::ShowPoint()
{
    connect(this, &QQuickItem::windowChanged, this, &ShowPoint::handleWindowChanged);
    connect(this, &ShowPoint::sigSetWindowWidth, this, [this](int w) {
        if (hasRenderer() && window())
            m_inputs.width = int(w * window()->devicePixelRatio());
        requestFrame();
    });
    connect(this, &ShowPoint::sigSetWindowHeight, this, [this](int h) {
        if (hasRenderer() && window())
            m_inputs.height = int(h * window()->devicePixelRatio());
        requestFrame();
    });
    connect(this, &ShowPoint::sigMovePointCloud, this, [this](float dx, float dy) {
        // A drag that is not a number (a mouse area without size) would stay in the pan
        // vector until the next reset.
        if (!hasRenderer() || !std::isfinite(dx) || !std::isfinite(dy))
            return;
        m_inputs.dragX += dx;
        m_inputs.dragY += dy;
    });
    connect(this, &ShowPoint::requestReset, this, [this]() {
        setPitch(0);
        setRoll(0);
        setScale(100);
        if (hasRenderer()) {
            m_inputs.panReset = true;
            m_inputs.dragX = 0;
            m_inputs.dragY = 0;
        }
    });
}

ShowPoint::~ShowPoint()
{
    // The base item leaves its window after this destructor, announcing it with windowChanged:
    // that must not reach this object's handlers once its members are gone.
    disconnect(this, nullptr, this, nullptr);
    unhookWindow();
    // Qt Quick asks for the resources only while the item is still a ShowPoint; when the item
    // is destroyed inside its window, the renderer would otherwise go on drawing there.
    releaseResources();
}

void ShowPoint::releaseResources()
{
    ShowRenderer *old = m_renderer.exchange(nullptr);
    if (!old)
        return;
    m_inputs = ShowInputs();
    if (QQuickWindow *win = window())
        win->scheduleRenderJob(new CleanupJob(old), QQuickWindow::BeforeSynchronizingStage);
    else
        delete old;
}

void ShowPoint::requestFrame()
{
    if (QQuickWindow *win = window())
        win->update();
}

bool ShowPoint::sameFloat(float a, float b)
{
    return std::fabs(a - b) * 100000.0f <= std::min(std::fabs(a), std::fabs(b));
}

template<typename T>
void ShowPoint::setExact(T &stored, T value, void (ShowPoint::*changed)(), bool update)
{
    if (stored == value)
        return;
    stored = value;
    emit(this->*changed)();
    if (update)
        requestFrame();
}

void ShowPoint::setFloat(float &stored, float value, void (ShowPoint::*changed)())
{
    if (sameFloat(stored, value))
        return;
    stored = value;
    emit(this->*changed)();
    requestFrame();
}

void ShowPoint::setRoll(double value)
{
    setExact(m_roll, value, &ShowPoint::rollChanged, true);
}
void ShowPoint::setPitch(double value)
{
    setExact(m_pitch, value, &ShowPoint::pitchChanged, true);
}
void ShowPoint::setHeading(double value)
{
    setExact(m_heading, value, &ShowPoint::headingChanged, true);
}
void ShowPoint::setScale(double value)
{
    setExact(m_scale, value, &ShowPoint::scaleChanged, true);
}
void ShowPoint::setTranslateX(double value)
{
    setExact(m_translateX, value, &ShowPoint::translateXChanged, true);
}
void ShowPoint::setTranslateY(double value)
{
    setExact(m_translateY, value, &ShowPoint::translateYChanged, true);
}
void ShowPoint::setCamAngleH(float value)
{
    setFloat(m_camAngleH, value, &ShowPoint::camAngleHChanged);
}
void ShowPoint::setCamAngleV(float value)
{
    setFloat(m_camAngleV, value, &ShowPoint::camAngleVChanged);
}
void ShowPoint::setCamDistance(float value)
{
    setFloat(m_camDistance, value, &ShowPoint::camDistanceChanged);
}
void ShowPoint::setIsMoveOrRotation(bool value)
{
    setExact(m_isMoveOrRotation, value, &ShowPoint::isMoveOrRotationChanged, false);
}
void ShowPoint::setIsAutoTarget(bool value)
{
    setExact(m_isAutoTarget, value, &ShowPoint::isAutoTargetChanged, false);
}

void ShowPoint::setSliceIndex(int value)
{
    if (m_sliceIndex == value)
        return;
    m_sliceIndex = value;
    emit sliceIndexChanged();
    if (hasRenderer()) {
        m_inputs.sliceIndex = value;
        // Only a slice above the first takes its size again from the selected image.
        if (value > 0)
            m_inputs.sliceMoved = true;
    }
    requestFrame();
}

void ShowPoint::f_setColorTable(int a_colorTable)
{
    if (hasRenderer())
        m_inputs.colorTable = a_colorTable;
}

void ShowPoint::f_setPointSize(QString a_pointSize)
{
    if (hasRenderer())
        m_inputs.pointSize = a_pointSize.toFloat();
}

void ShowPoint::f_setPowerThr(QString a_powerThr)
{
    if (hasRenderer())
        m_inputs.powerThr = a_powerThr.toFloat();
}

void ShowPoint::f_setMaxStrength(QString a_maxStrength)
{
    if (hasRenderer())
        m_inputs.maxStrength = a_maxStrength.toFloat();
}

void ShowPoint::f_setShaderColorModel(int a_shaderColorModel)
{
    if (hasRenderer())
        m_inputs.colorModel = a_shaderColorModel;
}

void ShowPoint::slotDeleteTexture(bool inBool)
{
    if (hasRenderer())
        m_inputs.showSlice = inBool;
}

void ShowPoint::pointCloudUpdate(packageInfo head, float inMaxRadius)
{
    if (hasRenderer()) {
        m_inputs.pointsChanged = true;
        m_inputs.head = head;
        m_inputs.maxRadius = inMaxRadius;
    }
    requestFrame();
}

void ShowPoint::imagesUpdate()
{
    if (hasRenderer()) {
        std::deque<ImageFrame> images;
        PointCloudCache::instance().copyFrames(&images);
        m_inputs.volume = buildVolume(images);
        m_inputs.images = std::move(images);
        m_inputs.imagesChanged = true;
    }
    requestFrame();
}

void ShowPoint::sync()
{
    QQuickWindow *win = window();
    if (!win)
        return;
    ShowRenderer *r = m_renderer.load();
    if (!r) {
        r = new ShowRenderer;
        connect(win, &QQuickWindow::beforeRendering, r, &ShowRenderer::init, Qt::DirectConnection);
        connect(win, &QQuickWindow::beforeRenderPassRecording, r, &ShowRenderer::paint,
                Qt::DirectConnection);
        m_renderer.store(r);
        // Requests made for no renderer, or for one that has gone, are not replayed.
        m_inputs = ShowInputs();
    }
    const qreal dpr = win->devicePixelRatio();
    r->m_viewportSize =
        QSize(int(std::lround(win->width() * dpr)), int(std::lround(win->height() * dpr)));
    r->m_window = win;
    r->m_roll = m_roll;
    r->m_pitch = m_pitch;
    r->m_heading = m_heading;
    r->m_scale = m_scale;
    r->m_isMoveOrRotation = m_isMoveOrRotation;
    r->m_isAutoTarget = m_isAutoTarget;
    r->takeInputs(std::exchange(m_inputs, ShowInputs()));
}

void ShowPoint::cleanup()
{
    delete m_renderer.exchange(nullptr);
}

void ShowPoint::handleWindowChanged(QQuickWindow *win)
{
    // The hooks of the window the item leaves must not run this item's sync or cleanup.
    unhookWindow();
    m_hookedWindow = win;
    if (!win)
        return;
    connect(win, &QQuickWindow::beforeSynchronizing, this, &ShowPoint::sync, Qt::DirectConnection);
    connect(win, &QQuickWindow::sceneGraphInvalidated, this, &ShowPoint::cleanup,
            Qt::DirectConnection);
    win->setColor(Qt::black);
}

void ShowPoint::unhookWindow()
{
    if (!m_hookedWindow)
        return;
    disconnect(m_hookedWindow, &QQuickWindow::beforeSynchronizing, this, &ShowPoint::sync);
    disconnect(m_hookedWindow, &QQuickWindow::sceneGraphInvalidated, this, &ShowPoint::cleanup);
}

CleanupJob::~CleanupJob()
{
    delete m_renderer;
}

void CleanupJob::run()
{
    delete m_renderer;
    m_renderer = nullptr;
}
