#pragma once

#include "SimRecording.h"

#include "processClass/CloudPoint.h"

#include <functional>
#include <vector>

// The points the data path must store for frames, in order: per frame beam A's, then beam B's,
// as the echo processing of the whole frame gives them, at the along-track distance summed
// from speed(frame) / 1000 (a speed that is not finite adds nothing). A point with a value
// that a float cannot hold is left out. maxBeamRange, when given, gets the largest range that
// a float can hold (0 without any).
std::vector<CloudPoint> expectedPoints(const std::vector<SimSonar::WholeFrame> &frames,
                                       const std::function<float(const packageInfo &)> &speed,
                                       float *maxBeamRange = nullptr);

// Whether every value of every point is a finite number.
bool allFinite(const std::vector<CloudPoint> &points);
