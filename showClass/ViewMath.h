#pragma once

#include <QList>
#include <QMatrix4x4>
#include <QRect>
#include <QRgb>
#include <QVector3D>

#include <array>
#include <optional>

// The geometry of the 3D view that needs no OpenGL: screen regions, the camera, the model
// and slice matrices, panning and the colour tables. Regions are in device pixels with the
// origin at the bottom left, as OpenGL's viewport takes them.
namespace ViewMath {

constexpr int colorEntries = 1024;
constexpr int compassVertices = 58;
constexpr int compassFloats = compassVertices * 6;
constexpr int quadFloats = 4 * 6;
constexpr float defaultOrthoHalfHeight = 500.0f;

// Right two fifths of the window, without a 3-pixel strip at its left and the bottom 30 rows.
QRect mainViewRegion(int windowWidth, int windowHeight);
// The 200 by 200 compass in the window's top right corner.
QRect compassRegion(int windowWidth, int windowHeight);
// Whether the main view has an area and the model a positive scale; when not, nothing is
// drawn and drags do not pan (the projection would divide by zero).
bool canDraw(int windowWidth, int windowHeight, double scale);

// Model units per pixel: the view is always 2 * orthoHalfHeight units high.
float unitsPerPixel(const QRect &view, float orthoHalfHeight = defaultOrthoHalfHeight);
// Orthographic projection of the main view, near -1000, far 1000.
QMatrix4x4 projection(const QRect &view, float orthoHalfHeight = defaultOrthoHalfHeight);
// Rx(pitch) * Rz(roll) * scale (when above 0) * translate(pan).
QMatrix4x4 modelMatrix(double pitch, double roll, double scale, const QVector3D &pan);
// Rx(pitch) * Rz(roll): the compass turns with the model but is neither scaled nor panned.
QMatrix4x4 compassMatrix(double pitch, double roll);

// Position of the slice in the stack, 0 to 1: sliceIndex / (frameCount - 1), 0 for a stack of
// one image or none.
float sliceFraction(int sliceIndex, int frameCount);
// The slice stands in the plane x = t * volumeLength, its Y mirrored.
QMatrix4x4 sliceMatrix(const QMatrix4x4 &model, float t, double volumeLength);

// Model-space translation for a drag of (dx, dy), fractions of the mouse area's size; empty
// when the view cannot be drawn or the drag is not a finite number.
std::optional<QVector3D> panDelta(float dx, float dy, int windowWidth, int windowHeight,
                                  double pitch, double roll, double scale,
                                  float orthoHalfHeight = defaultOrthoHalfHeight);

using ColorTable4f = std::array<float, 4 * colorEntries>;
// The points' colours, RGBA: blue up to entry 153, a hue ramp through cyan, green and yellow,
// red from entry 870.
ColorTable4f pointColorMap();
// A palette of 1024 colours as RGBA floats; missing entries are black.
ColorTable4f paletteColors(const QList<QRgb> &palette);

// The compass: 58 vertices of position and colour (axes, letters X, Y, Z, arrow heads).
std::array<float, compassFloats> compassGeometry();
// The slice quad, 4 vertices of position and 3D texture coordinate, as a triangle strip: the
// 10 by 10 square in the plane z = 0 before any image, then the image's square of half-size
// f (its range, maxDist) in the plane x = 0. A range that is not a positive number comes from
// a damaged header and gives no quad: the slice keeps its size.
std::array<float, quadFloats> initialQuad();
std::optional<std::array<float, quadFloats>> sliceQuad(float f);

} // namespace ViewMath
