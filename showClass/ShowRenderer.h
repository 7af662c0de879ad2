#pragma once

#include "processClass/CloudPoint.h"
#include "processClass/ImageFrame.h"
#include "processClass/PackageInfo.h"
#include "showClass/ImageVolume.h"
#include "showClass/ShowInputs.h"
#include "showClass/ViewMath.h"

#include <QObject>
#include <QOpenGLExtraFunctions>
#include <QPointer>
#include <QSize>
#include <QVector3D>

#include <atomic>
#include <deque>
#include <memory>
#include <vector>

class QOpenGLContext;
class QOpenGLFunctions_3_3_Core;
class QOpenGLShaderProgram;
class QQuickWindow;

// Draws the 3D view with OpenGL on the Qt Quick render thread, under the scene: the image
// slice, the point cloud and the axis compass. Created, fed and destroyed by ShowPoint on the
// render thread only; what the GUI thread wants reaches it through ShowPoint::sync, while the
// GUI thread is blocked.
class ShowRenderer : public QObject, protected QOpenGLExtraFunctions
{
    Q_OBJECT

public:
    ShowRenderer();
    ~ShowRenderer() override;

    // Takes what the GUI thread staged since the last frame (render thread, GUI blocked).
    void takeInputs(ShowInputs &&in);

    // Reads the cloud from the point-cloud store (waiting at most 10 ms; on a time-out the
    // previous cloud stays) and keeps the header and the largest beam range.
    void setPointCloud(const packageInfo &head, float maxRadius);
    // The slice's palette, 0 to 5; other indices keep the current one.
    void setColorTable(int index);

public slots:
    // Before every frame: creates the graphics objects once, then uploads a new volume.
    void init();
    // Draws the frame's slice, points and compass.
    void paint();
    void setWidth(int width);
    void setHeight(int height);
    // Moves the model by a drag of (dx, dy), fractions of the mouse area's size, in screen space
    // whatever the model's rotation.
    void pan(float dx, float dy);

private:
    friend class ShowPoint;

    bool glReady(QOpenGLContext *current) const;
    void createPointResources();
    void createSliceResources();
    GLuint makeColorTexture(const ViewMath::ColorTable4f &colours);
    void uploadVolume(const ImageVolume &v, bool firstTime);
    void resizeQuad();
    void setQuad(const std::array<float, ViewMath::quadFloats> &quad);
    void drawSlice(const QMatrix4x4 &pv, const QMatrix4x4 &model);
    void drawPoints(const QMatrix4x4 &transform);
    void drawCompass();
    void releaseGraphics();

    QVector3D m_panOffset; // model-space translation
    std::atomic<int> m_sliceIndex{0};
    std::atomic<int> m_frameCount{0};
    std::atomic<int> m_volumeWidth{0};
    std::atomic<int> m_volumeHeight{0};
    std::atomic<double> m_volumeLength{0};
    packageInfo m_head;
    QSize m_viewportSize;

    std::unique_ptr<QOpenGLShaderProgram> m_pointProgram;
    std::unique_ptr<QOpenGLShaderProgram> m_sliceProgram;
    std::unique_ptr<QOpenGLShaderProgram> m_compassProgram;
    QQuickWindow *m_window = nullptr;
    QPointer<QOpenGLContext> m_context;          // the one the graphics objects belong to
    QOpenGLFunctions_3_3_Core *m_gl33 = nullptr; // one-dimensional textures
    bool m_legacyStates = false; // compatibility profile: point smoothing and wide lines
    bool m_unsupported = false;  // the context cannot run the shaders

    GLuint m_pointBuffer = 0;
    GLuint m_pointVao = 0;
    GLuint m_sliceColorTexture = 0;
    GLuint m_pointColorTexture = 0;
    ViewMath::ColorTable4f m_sliceColors;
    ViewMath::ColorTable4f m_pointColors{};
    GLuint m_compassVao = 0;
    GLuint m_compassVbo = 0;
    GLuint m_quadVao = 0;
    GLuint m_quadBuffer = 0;
    GLuint m_volumeTexture = 0;

    std::shared_ptr<const ImageVolume> m_volume; // waiting to be uploaded
    std::deque<ImageFrame> m_images;
    bool m_volumeDirty = false;
    std::vector<CloudPoint> m_points;
    quint32 m_pointCount = 0;

    double m_roll = 0;
    double m_pitch = 0;
    double m_heading = -89;
    double m_scale = 100;
    float m_cloudParamA = 0;
    float m_cloudParamB = 0;
    float m_maxRange = 5.0f;
    float m_orthoHalfHeight = ViewMath::defaultOrthoHalfHeight;
    float m_pointSize = 1.0f;
    float m_powerThr = 0;
    float m_maxStrength = 0;
    float m_maxRadius = 0;
    int m_colorModel = 2;
    int m_windowWidth = 1080;
    int m_windowHeight = 800;
    bool m_showSlice = true;
    bool m_isMoveOrRotation = false;
    bool m_isAutoTarget = false;
};
