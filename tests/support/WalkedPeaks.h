#pragma once

#include "processClass/PeakFinder.h"

#include <vector>

// The peaks of x with their measures taken by walking from each peak sample by sample, as the
// peak finder defines them (filters off). Plain and slow: the reference that findPeaks is
// checked and timed against.
std::vector<PeakRecord> walkedPeaks(const double *x, int n);
