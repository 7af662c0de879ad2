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
    : m_sliceColors(ViewMath::paletteColors(ColorTable::instance().palette(0))),
      m_points(PointCloudCache::capacity)
{
}

ShowRenderer::~ShowRenderer()
{
    // Graphics objects go with the context they were made on. Without it current (a clean-up
    // job that never ran because its window went first) only the memory is freed; the
    // programs queue their own deletion with the context's share group.
    if (m_context && QOpenGLContext::currentContext() == m_context)
        releaseGraphics();
}

void ShowRenderer::releaseGraphics()
{
    if (m_pointBuffer)
        glDeleteBuffers(1, &m_pointBuffer);
    if (m_pointVao)
        glDeleteVertexArrays(1, &m_pointVao);
    if (m_quadBuffer)
        glDeleteBuffers(1, &m_quadBuffer);
    if (m_quadVao)
        glDeleteVertexArrays(1, &m_quadVao);
    if (m_compassVbo)
        glDeleteBuffers(1, &m_compassVbo);
    if (m_compassVao)
        glDeleteVertexArrays(1, &m_compassVao);
    const GLuint textures[] = {m_sliceColorTexture, m_pointColorTexture, m_volumeTexture};
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
        m_pointSize = *in.pointSize;
    if (in.powerThr)
        m_powerThr = *in.powerThr;
    if (in.maxStrength)
        m_maxStrength = *in.maxStrength;
    if (in.colorModel)
        m_colorModel = *in.colorModel;
    if (in.showSlice)
        m_showSlice = *in.showSlice;
    if (in.sliceIndex)
        m_sliceIndex.store(*in.sliceIndex);
    if (in.sliceMoved)
        m_volumeDirty = true;
    if (in.imagesChanged) {
        m_images = std::move(in.images);
        // Without images the volume, its length and depth stay as they were.
        if (in.volume) {
            m_volume = std::move(in.volume);
            m_volumeLength.store(m_volume->length);
            m_frameCount.store(m_volume->depth);
            m_volumeWidth.store(m_volume->width);
            m_volumeHeight.store(m_volume->height);
            m_volumeDirty = true;
        }
    }
    if (in.pointsChanged)
        setPointCloud(in.head, in.maxRadius);
    if (in.panReset)
        m_panOffset = QVector3D();
    if (in.dragX != 0 || in.dragY != 0)
        pan(in.dragX, in.dragY);
}

void ShowRenderer::setPointCloud(const packageInfo &inHead, float inMaxRadius)
{
    m_head = inHead;
    m_maxRadius = inMaxRadius;
    PointCloudCache &store = PointCloudCache::instance();
    store.readPoints(&m_pointCount, reinterpret_cast<float *>(m_points.data()));
    m_cloudParamA = store.cloudParamA();
    m_cloudParamB = store.cloudParamB();
    m_maxRange = store.cloudMaxRange();
}

void ShowRenderer::setColorTable(int index)
{
    if (index < 0 || index > 5)
        return;
    m_sliceColors = ViewMath::paletteColors(ColorTable::instance().palette(index));
}

void ShowRenderer::setWidth(int width)
{
    if (width != m_windowWidth)
        m_windowWidth = width;
}

void ShowRenderer::setHeight(int height)
{
    if (height != m_windowHeight)
        m_windowHeight = height;
}

void ShowRenderer::pan(float dx, float dy)
{
    if (const auto delta = ViewMath::panDelta(dx, dy, m_windowWidth, m_windowHeight, m_pitch,
                                              m_roll, m_scale, m_orthoHalfHeight))
        m_panOffset += *delta;
}

bool ShowRenderer::glReady(QOpenGLContext *current) const
{
    if (!m_window || !current || m_unsupported)
        return false;
    const QSGRendererInterface *rif = m_window->rendererInterface();
    if (!rif || rif->graphicsApi() != QSGRendererInterface::OpenGL)
        return false;
    return !m_context || m_context == current;
}

void ShowRenderer::init()
{
    QOpenGLContext *current = QOpenGLContext::currentContext();
    if (!glReady(current))
        return;
    const bool firstTime = !m_pointProgram;
    if (firstTime) {
        m_gl33 = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_3_3_Core>(current);
        if (!m_gl33) {
            qWarning() << "ShowRenderer: the 3D view needs OpenGL 3.3; it stays empty";
            m_unsupported = true;
            return;
        }
    }
    if (!firstTime && !m_volumeDirty)
        return;

    m_window->beginExternalCommands();
    if (firstTime) {
        m_context = current;
        initializeOpenGLFunctions();
        m_legacyStates = current->format().profile() != QSurfaceFormat::CoreProfile;
        createPointResources();
        createSliceResources();
    }
    if (m_volumeDirty) {
        m_volumeDirty = false;
        if (m_volume) {
            uploadVolume(*m_volume, false);
            m_volume.reset(); // the texture holds it now
        }
        resizeQuad();
    }
    m_window->endExternalCommands();
}

void ShowRenderer::createPointResources()
{
    m_pointProgram = makeProgram(":/shader/vertex.vert", ":/shader/fragment.frag");

    glGenVertexArrays(1, &m_pointVao);
    glBindVertexArray(m_pointVao);
    glGenBuffers(1, &m_pointBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, m_pointBuffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(PointCloudCache::capacity * sizeof(CloudPoint)),
                 nullptr, GL_DYNAMIC_DRAW);
    const int location = m_pointProgram->attributeLocation("vVertices");
    if (location >= 0) {
        glVertexAttribPointer(GLuint(location), 4, GL_FLOAT, GL_FALSE, 0, nullptr);
        glEnableVertexAttribArray(GLuint(location));
    }
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    m_pointColors = ViewMath::pointColorMap();
    m_pointColorTexture = makeColorTexture(m_pointColors);
}

GLuint ShowRenderer::makeColorTexture(const ViewMath::ColorTable4f &colours)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_1D, texture);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    m_gl33->glTexImage1D(GL_TEXTURE_1D, 0, GL_RGBA32F, ViewMath::colorEntries, 0, GL_RGBA, GL_FLOAT,
                         colours.data());
    glBindTexture(GL_TEXTURE_1D, 0);
    return texture;
}

void ShowRenderer::createSliceResources()
{
    m_sliceProgram = makeProgram(":/shader/texture.vert", ":/shader/texture.frag");

    glGenVertexArrays(1, &m_quadVao);
    glGenBuffers(1, &m_quadBuffer);
    setQuad(ViewMath::initialQuad());

    glGenTextures(1, &m_volumeTexture);
    ImageVolume empty;
    empty.width = initialVolumeSide;
    empty.height = initialVolumeSide;
    empty.depth = initialVolumeDepth;
    empty.bytes =
        QByteArray(qsizetype(initialVolumeSide) * initialVolumeSide * initialVolumeDepth, '\0');
    uploadVolume(empty, true);

    m_sliceColorTexture = makeColorTexture(m_sliceColors);

    m_compassProgram = makeProgram(":/shader/compass.vert", ":/shader/compass.frag");
    const auto compass = ViewMath::compassGeometry();
    glGenVertexArrays(1, &m_compassVao);
    glGenBuffers(1, &m_compassVbo);
    glBindVertexArray(m_compassVao);
    glBindBuffer(GL_ARRAY_BUFFER, m_compassVbo);
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
    glBindVertexArray(m_quadVao);
    glBindBuffer(GL_ARRAY_BUFFER, m_quadBuffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(quad)), quad.data(), GL_STATIC_DRAW);
    const int position = m_sliceProgram->attributeLocation("aPosition");
    const int texCoord = m_sliceProgram->attributeLocation("aTexCoord");
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
    glBindTexture(GL_TEXTURE_3D, m_volumeTexture);
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
        qDebug() << "OpenGL texture created successfully, ID:" << m_volumeTexture;
    glBindTexture(GL_TEXTURE_3D, 0);
}

void ShowRenderer::resizeQuad()
{
    const int index = m_sliceIndex.load();
    if (index < 0 || std::size_t(index) >= m_images.size())
        return;
    if (const auto quad = ViewMath::sliceQuad(m_images[std::size_t(index)].header.maxDist))
        setQuad(*quad);
}

void ShowRenderer::paint()
{
    if (!m_pointProgram || !glReady(QOpenGLContext::currentContext()))
        return;
    // A window too small for the view, or a model scale that is not positive, has nothing to
    // show (the projection would divide by zero).
    if (!ViewMath::canDraw(m_windowWidth, m_windowHeight, m_scale))
        return;

    m_window->beginExternalCommands();

    // Qt Quick leaves its own pipeline state behind: set what these passes rely on. The
    // render pass has already cleared the colour to the window's black.
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_CULL_FACE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glClear(GL_DEPTH_BUFFER_BIT);
    if (m_legacyStates)
        glEnable(GL_POINT_SMOOTH);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    glBindBuffer(GL_ARRAY_BUFFER, m_pointBuffer);
    glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(m_pointCount * sizeof(CloudPoint)),
                    m_points.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    m_pointProgram->bind();
    m_pointProgram->setUniformValue("rangeCoef", 1.0f / m_maxRange);
    m_pointProgram->setUniformValue("pointSize", std::max(m_pointSize, 1.0f));
    m_pointProgram->setUniformValue("powerThr", m_powerThr);
    m_pointProgram->setUniformValue("maxStrength", m_maxStrength);
    m_pointProgram->setUniformValue("maxRange", m_maxRange);
    m_pointProgram->setUniformValue("colorModel", m_colorModel);
    m_pointProgram->setUniformValue("u_maxRadius", m_maxRadius);

    const QRect view = ViewMath::mainViewRegion(m_windowWidth, m_windowHeight);
    glViewport(view.x(), view.y(), view.width(), view.height());
    const QMatrix4x4 projection = ViewMath::projection(view, m_orthoHalfHeight);
    const QMatrix4x4 viewMatrix;
    const QMatrix4x4 model = ViewMath::modelMatrix(m_pitch, m_roll, m_scale, m_panOffset);

    if (m_showSlice)
        drawSlice(projection * viewMatrix, model);
    drawPoints(projection * viewMatrix * model);
    drawCompass();

    // Qt Quick draws its own scene next, on a clean depth buffer.
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    if (m_legacyStates)
        glDisable(GL_POINT_SMOOTH);
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);

    m_window->endExternalCommands();
}

void ShowRenderer::drawSlice(const QMatrix4x4 &pv, const QMatrix4x4 &model)
{
    const float t = ViewMath::sliceFraction(m_sliceIndex.load(), m_frameCount.load());
    const QMatrix4x4 sliceModel = ViewMath::sliceMatrix(model, t, m_volumeLength.load());

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    m_sliceProgram->bind();
    m_sliceProgram->setUniformValue("transform", pv * sliceModel);
    m_sliceProgram->setUniformValue("sliceIndex", t);
    m_sliceProgram->setUniformValue("gamma", m_head.gamma);
    m_sliceProgram->setUniformValue("alpha", 0.6f);

    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_3D, m_volumeTexture);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_1D, m_sliceColorTexture);
    m_gl33->glTexSubImage1D(GL_TEXTURE_1D, 0, 0, ViewMath::colorEntries, GL_RGBA, GL_FLOAT,
                            m_sliceColors.data());
    m_sliceProgram->setUniformValue("colorTable", 1);

    glBindVertexArray(m_quadVao);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(0);

    glBindTexture(GL_TEXTURE_1D, 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_3D, 0);
    m_sliceProgram->release();
    glDisable(GL_BLEND);
}

void ShowRenderer::drawPoints(const QMatrix4x4 &transform)
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glDepthMask(GL_FALSE);

    m_pointProgram->bind();
    m_pointProgram->setUniformValue("transform", transform);
    glActiveTexture(GL_TEXTURE3);
    glBindTexture(GL_TEXTURE_1D, m_pointColorTexture);
    m_gl33->glTexSubImage1D(GL_TEXTURE_1D, 0, 0, ViewMath::colorEntries, GL_RGBA, GL_FLOAT,
                            m_pointColors.data());
    m_pointProgram->setUniformValue("colorTable", 3);

    // The points are one pixel whatever "pointSize" holds: Qt Quick leaves program point size
    // on, which would let the settings text (20, "inf", ...) grow them over the view.
    const bool programPointSize = glIsEnabled(GL_PROGRAM_POINT_SIZE);
    if (programPointSize)
        glDisable(GL_PROGRAM_POINT_SIZE);
    glBindVertexArray(m_pointVao);
    glDrawArrays(GL_POINTS, 0, GLsizei(m_pointCount));
    glBindVertexArray(0);
    if (programPointSize)
        glEnable(GL_PROGRAM_POINT_SIZE);

    glBindTexture(GL_TEXTURE_1D, 0);
    m_pointProgram->release();
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    glActiveTexture(GL_TEXTURE0);
}

void ShowRenderer::drawCompass()
{
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    m_compassProgram->bind();
    glBindVertexArray(m_compassVao);
    const QRect region = ViewMath::compassRegion(m_windowWidth, m_windowHeight);
    glViewport(region.x(), region.y(), region.width(), region.height());

    const QMatrix4x4 turn = ViewMath::compassMatrix(m_pitch, m_roll);
    if (m_legacyStates)
        glLineWidth(3.0f);
    m_compassProgram->setUniformValue("transform", turn);
    glDrawArrays(GL_LINES, 0, 6);
    glDrawArrays(GL_TRIANGLES, 22, 36);

    // The letters follow the axes' tips but always face the viewer.
    QMatrix4x4 atX;
    atX.translate(turn.map(QVector3D(0.7f, 0.0f, 0.0f)));
    m_compassProgram->setUniformValue("transform", atX);
    glDrawArrays(GL_LINES, 6, 4);
    QMatrix4x4 atY;
    atY.translate(turn.map(QVector3D(0.0f, 0.7f, 0.0f)));
    m_compassProgram->setUniformValue("transform", atY);
    glDrawArrays(GL_LINES, 10, 6);

    glBindVertexArray(0);
    m_compassProgram->release();
    if (m_legacyStates) {
        glLineWidth(1.0f);
        glDisable(GL_LINE_SMOOTH);
    }
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}
