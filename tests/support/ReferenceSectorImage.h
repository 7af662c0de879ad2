#pragma once

#include "processClass/PackageInfo.h"

#include <QImage>
#include <QtGlobal>

#include <vector>

// The sector image computed the slow, literal way, as the reference for the fast one:
// every pixel, every frame, the sector test with bounds (also a turn lower and higher), the
// range bin rounded from the frame's maxDist and the last frame's distReso, and the gamma
// curve with two pow per pixel.
namespace reference {

constexpr int rows = 800;
constexpr int cols = 800;
constexpr int radius = 400;

// Paints num frames into out (rows x cols samples); bytes[k] bounds what frame k may read.
void generateImage(const packageInfo *const *heads, const uchar *const *data, const quint32 *bytes,
                   int num, quint16 *out);

void gammaCorrect(quint16 *samples, quint32 count, double a, double b);

// The picture of rows x cols samples as the slow path makes it: copy, gamma with pow, scale
// and offset toward zero clamped to 0..1023, then ColorTable::color pixel by pixel.
QImage colour(const quint16 *samples, double gamma, double scale, double offest, int switchColor);

// Bearing (clockwise from up, degrees) and distance (pixels) of image pixel (row, col).
double pixelAngle(int row, int col);
double pixelDistance(int row, int col);

} // namespace reference
