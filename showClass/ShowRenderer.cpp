#include "showClass/ShowRenderer.h"

#include "processClass/ColorTable.h"
#include "processClass/PointCloudCache.h"

#include <QDebug>
#include <QOpenGLContext>
#include <QOpenGLFunctions_3_3_Core>
#include <QOpenGLShaderProgram>
#include <QOpenGLVersionFunctionsFactory>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <algorithm>
#include <utility>

namespace {

constexpr int initialVolumeSide = 256;
constexpr int initialVolumeDepth = 100;

std::unique_ptr<QOpenGLShaderProgram> makeProgram(const char *vertexFile, const char *fragmentFile)
{
    auto program = std::make_unique<QOpenGLShaderProgram>();
    program->addCacheableShaderFromSourceFile(QOpenGLShader::Vertex,
                                              QString::fromLatin1(vertexFile));
    program->addCacheableShaderFromSourceFile(QOpenGLShader::Fragment,
                                              QString::fromLatin1(fragmentFile));
    program->link();
    return program;
}

} // namespace

ShowRenderer::ShowRenderer()
    : sliceColors(ViewMath::paletteColors(ColorTable::instance().palette(0))),
      points(PointCloudCache::capacity)
{
}

ShowRenderer::~ShowRenderer()
{
    // Graphics objects go with the context they were made on. Without it current (a clean-up
    // job that never ran because its window went first) only the memory is freed; the
    // programs queue their own deletion with the context's share group.
    if (context && QOpenGLContext::currentContext() == context)
        releaseGraphics();
}

void ShowRenderer::releaseGraphics()
{
    if (pointBuffer)
        glDeleteBuffers(1, &pointBuffer);
    if (pointVao)
        glDeleteVertexArrays(1, &pointVao);
    if (quadBuffer)
        glDeleteBuffers(1, &quadBuffer);
    if (quadVao)
        glDeleteVertexArrays(1, &quadVao);
    if (compassVbo)
        glDeleteBuffers(1, &compassVbo);
    if (compassVao)
        glDeleteVertexArrays(1, &compassVao);
    const GLuint textures[] = {sliceColorTexture, pointColorTexture, volumeTexture};
    for (GLuint texture : textures)
        if (texture)
            glDeleteTextures(1, &texture);
}

void ShowRenderer::takeInputs(ShowInputs &&in)
{
    if (in.width)
        setWidth(*in.width);
    if (in.height)
        setHeight(*in.height);
    if (in.colorTable)
        setColorTable(*in.colorTable);
    if (in.pointSize)
        pointSize = *in.pointSize;
    if (in.powerThr)
        powerThr = *in.powerThr;
    if (in.maxStrength)
        maxStrength = *in.maxStrength;
    if (in.colorModel)
        colorModel = *in.colorModel;
    if (in.showSlice)
        showSlice = *in.showSlice;
    if (in.sliceIndex)
        sliceIndex.store(*in.sliceIndex);
    if (in.sliceMoved)
        volumeDirty = true;
    if (in.imagesChanged) {
        images = std::move(in.images);
        // Without images the volume, its length and depth stay as they were.
        if (in.volume) {
            volume = std::move(in.volume);
            volumeLength.store(volume->length);
            frameCount.store(volume->depth);
            volumeWidth.store(volume->width);
            volumeHeight.store(volume->height);
            volumeDirty = true;
        }
    }
    if (in.pointsChanged)
        setPointCloud(in.head, in.maxRadius);
    if (in.panReset)
        panOffset = QVector3D();
    if (in.dragX != 0 || in.dragY != 0)
        pan(in.dragX, in.dragY);
}

void ShowRenderer::setPointCloud(const packageInfo &inHead, float inMaxRadius)
{
    head = inHead;
    maxRadius = inMaxRadius;
    PointCloudCache &store = PointCloudCache::instance();
    store.readPoints(&pointCount, reinterpret_cast<float *>(points.data()));
    cloudParamA = store.cloudParamA();
    cloudParamB = store.cloudParamB();
    maxRange = store.cloudMaxRange();
}

void ShowRenderer::setColorTable(int index)
{
    if (index < 0 || index > 5)
        return;
    sliceColors = ViewMath::paletteColors(ColorTable::instance().palette(index));
}

void ShowRenderer::setWidth(int width)
{
    if (width != windowWidth)
        windowWidth = width;
}

void ShowRenderer::setHeight(int height)
{
    if (height != windowHeight)
        windowHeight = height;
}

void ShowRenderer::pan(float dx, float dy)
{
    if (const auto delta = ViewMath::panDelta(dx, dy, windowWidth, windowHeight, pitch, roll, scale,
                                              orthoHalfHeight))
        panOffset += *delta;
}

bool ShowRenderer::glReady(QOpenGLContext *current) const
{
    if (!window || !current || unsupported)
        return false;
    const QSGRendererInterface *rif = window->rendererInterface();
    if (!rif || rif->graphicsApi() != QSGRendererInterface::OpenGL)
        return false;
    return !context || context == current;
}

void ShowRenderer::init()
{
    QOpenGLContext *current = QOpenGLContext::currentContext();
    if (!glReady(current))
        return;
    const bool firstTime = !pointProgram;
    if (firstTime) {
        gl33 = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_3_3_Core>(current);
        if (!gl33) {
            qWarning() << "ShowRenderer: the 3D view needs OpenGL 3.3; it stays empty";
            unsupported = true;
            return;
        }
    }
    if (!firstTime && !volumeDirty)
        return;

    window->beginExternalCommands();
    if (firstTime) {
        context = current;
        initializeOpenGLFunctions();
        legacyStates = current->format().profile() != QSurfaceFormat::CoreProfile;
        createPointResources();
        createSliceResources();
    }
    if (volumeDirty) {
        volumeDirty = false;
        if (volume) {
            uploadVolume(*volume, false);
            volume.reset(); // the texture holds it now
        }
        resizeQuad();
    }
    window->endExternalCommands();
}

void ShowRenderer::createPointResources()
{
    pointProgram = makeProgram(":/shader/vertex.vert", ":/shader/fragment.frag");

    glGenVertexArrays(1, &pointVao);
    glBindVertexArray(pointVao);
    glGenBuffers(1, &pointBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, pointBuffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(PointCloudCache::capacity * sizeof(CloudPoint)),
                 nullptr, GL_DYNAMIC_DRAW);
    const int location = pointProgram->attributeLocation("vVertices");
    if (location >= 0) {
        glVertexAttribPointer(GLuint(location), 4, GL_FLOAT, GL_FALSE, 0, nullptr);
        glEnableVertexAttribArray(GLuint(location));
    }
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    pointColors = ViewMath::pointColorMap();
    pointColorTexture = makeColorTexture(pointColors);
}

GLuint ShowRenderer::makeColorTexture(const ViewMath::ColorTable4f &colours)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_1D, texture);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl33->glTexImage1D(GL_TEXTURE_1D, 0, GL_RGBA32F, ViewMath::colorEntries, 0, GL_RGBA, GL_FLOAT,
                       colours.data());
    glBindTexture(GL_TEXTURE_1D, 0);
    return texture;
}

void ShowRenderer::createSliceResources()
{
    sliceProgram = makeProgram(":/shader/texture.vert", ":/shader/texture.frag");

    glGenVertexArrays(1, &quadVao);
    glGenBuffers(1, &quadBuffer);
    setQuad(ViewMath::initialQuad());

    glGenTextures(1, &volumeTexture);
    ImageVolume empty;
    empty.width = initialVolumeSide;
    empty.height = initialVolumeSide;
    empty.depth = initialVolumeDepth;
    empty.bytes =
        QByteArray(qsizetype(initialVolumeSide) * initialVolumeSide * initialVolumeDepth, '\0');
    uploadVolume(empty, true);

    sliceColorTexture = makeColorTexture(sliceColors);

    compassProgram = makeProgram(":/shader/compass.vert", ":/shader/compass.frag");
    const auto compass = ViewMath::compassGeometry();
    glGenVertexArrays(1, &compassVao);
    glGenBuffers(1, &compassVbo);
    glBindVertexArray(compassVao);
    glBindBuffer(GL_ARRAY_BUFFER, compassVbo);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(compass)), compass.data(), GL_STATIC_DRAW);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float), nullptr);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float),
                          reinterpret_cast<const void *>(3 * sizeof(float)));
    glEnableVertexAttribArray(1);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
}

void ShowRenderer::setQuad(const std::array<float, ViewMath::quadFloats> &quad)
{
    glBindVertexArray(quadVao);
    glBindBuffer(GL_ARRAY_BUFFER, quadBuffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(quad)), quad.data(), GL_STATIC_DRAW);
    const int position = sliceProgram->attributeLocation("aPosition");
    const int texCoord = sliceProgram->attributeLocation("aTexCoord");
    if (position >= 0) {
        glVertexAttribPointer(GLuint(position), 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float), nullptr);
        glEnableVertexAttribArray(GLuint(position));
    }
    if (texCoord >= 0) {
        glVertexAttribPointer(GLuint(texCoord), 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float),
                              reinterpret_cast<const void *>(3 * sizeof(float)));
        glEnableVertexAttribArray(GLuint(texCoord));
    }
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void ShowRenderer::uploadVolume(const ImageVolume &v, bool firstTime)
{
    // An error left by someone else must not be taken for this upload's.
    for (int k = 0; k < 16 && glGetError() != GL_NO_ERROR; ++k) {}
    glBindTexture(GL_TEXTURE_3D, volumeTexture);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    const std::size_t expected = std::size_t(std::max(v.width, 0))
                                 * std::size_t(std::max(v.height, 0))
                                 * std::size_t(std::max(v.depth, 0));
    if (expected == 0 || std::size_t(v.bytes.size()) != expected) {
        qWarning() << "ShowRenderer: a volume of" << v.width << "x" << v.height << "x" << v.depth
                   << "does not match its" << v.bytes.size() << "bytes; not uploaded";
        glBindTexture(GL_TEXTURE_3D, 0);
        return;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage3D(GL_TEXTURE_3D, 0, GL_R8, v.width, v.height, v.depth, 0, GL_RED, GL_UNSIGNED_BYTE,
                 v.bytes.constData());
    const GLenum error = glGetError();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (error != GL_NO_ERROR)
        qDebug() << "glTexImage3D error:" << error;
    else if (firstTime)
        qDebug() << "OpenGL texture created successfully, ID:" << volumeTexture;
    glBindTexture(GL_TEXTURE_3D, 0);
}

void ShowRenderer::resizeQuad()
{
    const int index = sliceIndex.load();
    if (index < 0 || std::size_t(index) >= images.size())
        return;
    if (const auto quad = ViewMath::sliceQuad(images[std::size_t(index)].header.maxDist))
        setQuad(*quad);
}

void ShowRenderer::paint()
{
    if (!pointProgram || !glReady(QOpenGLContext::currentContext()))
        return;
    // A window too small for the view, or a model scale that is not positive, has nothing to
    // show (the projection would divide by zero).
    if (!ViewMath::canDraw(windowWidth, windowHeight, scale))
        return;

    window->beginExternalCommands();

    // Qt Quick leaves its own pipeline state behind: set what these passes rely on. The
    // render pass has already cleared the colour to the window's black.
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_CULL_FACE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glClear(GL_DEPTH_BUFFER_BIT);
    if (legacyStates)
        glEnable(GL_POINT_SMOOTH);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    glBindBuffer(GL_ARRAY_BUFFER, pointBuffer);
    glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(pointCount * sizeof(CloudPoint)), points.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    pointProgram->bind();
    pointProgram->setUniformValue("rangeCoef", 1.0f / maxRange);
    pointProgram->setUniformValue("pointSize", std::max(pointSize, 1.0f));
    pointProgram->setUniformValue("powerThr", powerThr);
    pointProgram->setUniformValue("maxStrength", maxStrength);
    pointProgram->setUniformValue("maxRange", maxRange);
    pointProgram->setUniformValue("colorModel", colorModel);
    pointProgram->setUniformValue("u_maxRadius", maxRadius);

    const QRect view = ViewMath::mainViewRegion(windowWidth, windowHeight);
    glViewport(view.x(), view.y(), view.width(), view.height());
    const QMatrix4x4 projection = ViewMath::projection(view, orthoHalfHeight);
    const QMatrix4x4 viewMatrix;
    const QMatrix4x4 model = ViewMath::modelMatrix(pitch, roll, scale, panOffset);

    if (showSlice)
        drawSlice(projection * viewMatrix, model);
    drawPoints(projection * viewMatrix * model);
    drawCompass();

    // Qt Quick draws its own scene next, on a clean depth buffer.
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    if (legacyStates)
        glDisable(GL_POINT_SMOOTH);
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);

    window->endExternalCommands();
}

void ShowRenderer::drawSlice(const QMatrix4x4 &pv, const QMatrix4x4 &model)
{
    const float t = ViewMath::sliceFraction(sliceIndex.load(), frameCount.load());
    const QMatrix4x4 sliceModel = ViewMath::sliceMatrix(model, t, volumeLength.load());

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    sliceProgram->bind();
    sliceProgram->setUniformValue("transform", pv * sliceModel);
    sliceProgram->setUniformValue("sliceIndex", t);
    sliceProgram->setUniformValue("gamma", head.gamma);
    sliceProgram->setUniformValue("alpha", 0.6f);

    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_3D, volumeTexture);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_1D, sliceColorTexture);
    gl33->glTexSubImage1D(GL_TEXTURE_1D, 0, 0, ViewMath::colorEntries, GL_RGBA, GL_FLOAT,
                          sliceColors.data());
    sliceProgram->setUniformValue("colorTable", 1);

    glBindVertexArray(quadVao);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(0);

    glBindTexture(GL_TEXTURE_1D, 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_3D, 0);
    sliceProgram->release();
    glDisable(GL_BLEND);
}

void ShowRenderer::drawPoints(const QMatrix4x4 &transform)
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glDepthMask(GL_FALSE);

    pointProgram->bind();
    pointProgram->setUniformValue("transform", transform);
    glActiveTexture(GL_TEXTURE3);
    glBindTexture(GL_TEXTURE_1D, pointColorTexture);
    gl33->glTexSubImage1D(GL_TEXTURE_1D, 0, 0, ViewMath::colorEntries, GL_RGBA, GL_FLOAT,
                          pointColors.data());
    pointProgram->setUniformValue("colorTable", 3);

    // The points are one pixel whatever "pointSize" holds: Qt Quick leaves program point size
    // on, which would let the settings text (20, "inf", ...) grow them over the view.
    const bool programPointSize = glIsEnabled(GL_PROGRAM_POINT_SIZE);
    if (programPointSize)
        glDisable(GL_PROGRAM_POINT_SIZE);
    glBindVertexArray(pointVao);
    glDrawArrays(GL_POINTS, 0, GLsizei(pointCount));
    glBindVertexArray(0);
    if (programPointSize)
        glEnable(GL_PROGRAM_POINT_SIZE);

    glBindTexture(GL_TEXTURE_1D, 0);
    pointProgram->release();
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    glActiveTexture(GL_TEXTURE0);
}

void ShowRenderer::drawCompass()
{
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    compassProgram->bind();
    glBindVertexArray(compassVao);
    const QRect region = ViewMath::compassRegion(windowWidth, windowHeight);
    glViewport(region.x(), region.y(), region.width(), region.height());

    const QMatrix4x4 turn = ViewMath::compassMatrix(pitch, roll);
    if (legacyStates)
        glLineWidth(3.0f);
    compassProgram->setUniformValue("transform", turn);
    glDrawArrays(GL_LINES, 0, 6);
    glDrawArrays(GL_TRIANGLES, 22, 36);

    // The letters follow the axes' tips but always face the viewer.
    QMatrix4x4 atX;
    atX.translate(turn.map(QVector3D(0.7f, 0.0f, 0.0f)));
    compassProgram->setUniformValue("transform", atX);
    glDrawArrays(GL_LINES, 6, 4);
    QMatrix4x4 atY;
    atY.translate(turn.map(QVector3D(0.0f, 0.7f, 0.0f)));
    compassProgram->setUniformValue("transform", atY);
    glDrawArrays(GL_LINES, 10, 6);

    glBindVertexArray(0);
    compassProgram->release();
    if (legacyStates) {
        glLineWidth(1.0f);
        glDisable(GL_LINE_SMOOTH);
    }
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}
