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

    QVector3D panOffset; // model-space translation
    std::atomic<int> sliceIndex{0};
    std::atomic<int> frameCount{0};
    std::atomic<int> volumeWidth{0};
    std::atomic<int> volumeHeight{0};
    std::atomic<double> volumeLength{0};
    packageInfo head;
    QSize viewportSize;

    std::unique_ptr<QOpenGLShaderProgram> pointProgram;
    std::unique_ptr<QOpenGLShaderProgram> sliceProgram;
    std::unique_ptr<QOpenGLShaderProgram> compassProgram;
    QQuickWindow *window = nullptr;
    QPointer<QOpenGLContext> context;          // the one the graphics objects belong to
    QOpenGLFunctions_3_3_Core *gl33 = nullptr; // one-dimensional textures
    bool legacyStates = false; // compatibility profile: point smoothing and wide lines
    bool unsupported = false;  // the context cannot run the shaders

    GLuint pointBuffer = 0;
    GLuint pointVao = 0;
    GLuint sliceColorTexture = 0;
    GLuint pointColorTexture = 0;
    ViewMath::ColorTable4f sliceColors;
    ViewMath::ColorTable4f pointColors{};
    GLuint compassVao = 0;
    GLuint compassVbo = 0;
    GLuint quadVao = 0;
    GLuint quadBuffer = 0;
    GLuint volumeTexture = 0;

    std::shared_ptr<const ImageVolume> volume; // waiting to be uploaded
    std::deque<ImageFrame> images;
    bool volumeDirty = false;
    std::vector<CloudPoint> points;
    quint32 pointCount = 0;

    double roll = 0;
    double pitch = 0;
    double heading = -89;
    double scale = 100;
    float cloudParamA = 0;
    float cloudParamB = 0;
    float maxRange = 5.0f;
    float orthoHalfHeight = ViewMath::defaultOrthoHalfHeight;
    float pointSize = 1.0f;
    float powerThr = 0;
    float maxStrength = 0;
    float maxRadius = 0;
    int colorModel = 2;
    int windowWidth = 1080;
    int windowHeight = 800;
    bool showSlice = true;
    bool isMoveOrRotation = false;
    bool isAutoTarget = false;
};
