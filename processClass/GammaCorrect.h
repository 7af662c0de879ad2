#pragma once

#include <QtGlobal>

// Rewrites count 16-bit samples in place with the image gamma curve
// 65535 * (((v + 1e-10) / 65535) ^ (1 / b)) ^ (a + b), rounded; 0 stays 0. The callers pass
// a = gamma - 1 and b = 1, so a gamma of 1 leaves the samples untouched.
void gammaCorrect(quint16 *samples, quint32 count, double a, double b);
