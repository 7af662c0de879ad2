#pragma once

#include "processClass/PackageInfo.h"
#include "showClass/ShowInputs.h"

#include <QPointer>
#include <QQuickItem>
#include <QRunnable>
#include <QString>

#include <atomic>

class QQuickWindow;
class ShowRenderer;

// The Qt Quick item of the 3D view. It draws nothing itself: it publishes the camera to QML,
// takes the data path's notifications and stages what they ask of its ShowRenderer, which
// lives on the render thread and receives the staged requests in sync(), while the GUI thread
// is blocked.
class ShowPoint : public QQuickItem
{
    Q_OBJECT
    Q_PROPERTY(double roll READ roll WRITE setRoll NOTIFY rollChanged)
    Q_PROPERTY(double pitch READ pitch WRITE setPitch NOTIFY pitchChanged)
    Q_PROPERTY(double heading READ heading WRITE setHeading NOTIFY headingChanged)
    // Hides the visual scale of every Qt Quick item: this is the model's scale factor.
    Q_PROPERTY(double scale READ scale WRITE setScale NOTIFY scaleChanged)
    Q_PROPERTY(double translateX READ translateX WRITE setTranslateX NOTIFY translateXChanged)
    Q_PROPERTY(double translateY READ translateY WRITE setTranslateY NOTIFY translateYChanged)
    Q_PROPERTY(int sliceIndex READ sliceIndex WRITE setSliceIndex NOTIFY sliceIndexChanged FINAL)
    Q_PROPERTY(float camAngleH READ camAngleH WRITE setCamAngleH NOTIFY camAngleHChanged FINAL)
    Q_PROPERTY(float camAngleV READ camAngleV WRITE setCamAngleV NOTIFY camAngleVChanged FINAL)
    Q_PROPERTY(
        float camDistance READ camDistance WRITE setCamDistance NOTIFY camDistanceChanged FINAL)
    Q_PROPERTY(bool isMoveOrRotation READ isMoveOrRotation WRITE setIsMoveOrRotation NOTIFY
                   isMoveOrRotationChanged FINAL)
    Q_PROPERTY(
        bool isAutoTarget READ isAutoTarget WRITE setIsAutoTarget NOTIFY isAutoTargetChanged FINAL)

public:
    ShowPoint();
    ~ShowPoint() override;

    void releaseResources() override;

    double roll() const { return m_roll; }
    double pitch() const { return m_pitch; }
    double heading() const { return m_heading; }
    double scale() const { return m_scale; }
    double translateX() const { return m_translateX; }
    double translateY() const { return m_translateY; }
    int sliceIndex() const { return m_sliceIndex; }
    float camAngleH() const { return m_camAngleH; }
    float camAngleV() const { return m_camAngleV; }
    float camDistance() const { return m_camDistance; }
    bool isMoveOrRotation() const { return m_isMoveOrRotation; }
    bool isAutoTarget() const { return m_isAutoTarget; }

    void setRoll(double value);
    void setPitch(double value);
    void setHeading(double value);
    void setScale(double value);
    void setTranslateX(double value);
    void setTranslateY(double value);
    void setSliceIndex(int value);
    void setCamAngleH(float value);
    void setCamAngleV(float value);
    void setCamDistance(float value);
    void setIsMoveOrRotation(bool value);
    void setIsAutoTarget(bool value);

    // Floats are equal when they differ by at most a 100000th of the smaller magnitude.
    static bool sameFloat(float a, float b);

    // Whether requests reach a renderer: without one they are dropped, and the renderer
    // made later starts from its defaults.
    bool hasRenderer() const { return m_renderer.load() != nullptr; }
    // What the next synchronisation hands to the renderer (GUI thread).
    const ShowInputs &stagedInputs() const { return m_inputs; }

signals:
    void rollChanged();
    void pitchChanged();
    void headingChanged();
    void scaleChanged();
    void translateXChanged();
    void translateYChanged();
    void sig_readFile(bool inBool, QString inFileName);
    void sigSetWindowWidth(int inWidth);
    void sigSetWindowHeight(int inHeight);
    void sliceIndexChanged();
    void camAngleHChanged();
    void camAngleVChanged();
    void camDistanceChanged();
    void isMoveOrRotationChanged();
    void isAutoTargetChanged();
    void sigMovePointCloud(float inDx, float inDy);
    void requestReset();

public slots:
    void f_setColorTable(int a_colorTable);
    void f_setPointSize(QString a_pointSize);
    void f_setPowerThr(QString a_powerThr);
    void f_setMaxStrength(QString a_maxStrength);
    void f_setShaderColorModel(int a_shaderColorModel);
    // Receiver of every processed frame: the cloud itself is read once per rendered frame.
    void pointCloudUpdate(packageInfo head, float inMaxRadius);
    void imagesUpdate();
    void sync();
    void cleanup();
    void slotDeleteTexture(bool inBool);

private slots:
    void handleWindowChanged(QQuickWindow *win);

private:
    void requestFrame();
    void unhookWindow();
    template<typename T>
    void setExact(T &stored, T value, void (ShowPoint::*changed)(), bool update);
    void setFloat(float &stored, float value, void (ShowPoint::*changed)());

    double m_roll = 0;
    double m_pitch = 0;
    double m_heading = -89;
    double m_scale = 100;
    double m_translateX = 0;
    double m_translateY = 0;
    int m_sliceIndex = 0;
    float m_camAngleH = 30;
    float m_camAngleV = 20;
    float m_camDistance = 15;
    bool m_isMoveOrRotation = false;
    bool m_isAutoTarget = false;

    // Written on the render thread while the GUI thread is blocked, or on the GUI thread.
    std::atomic<ShowRenderer *> m_renderer{nullptr};
    ShowInputs m_inputs;
    QPointer<QQuickWindow> m_hookedWindow;
};

// Deletes a renderer on the render thread, with its context current, when the window runs
// it; a job its window drops unrun frees the renderer without touching graphics.
class CleanupJob : public QRunnable
{
public:
    explicit CleanupJob(ShowRenderer *renderer) : m_renderer(renderer) {}
    ~CleanupJob() override;
    void run() override;

private:
    ShowRenderer *m_renderer;
};
