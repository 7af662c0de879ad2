#pragma once

#include <QtGlobal>

#include <limits>
#include <vector>

// One local maximum of a sequence and its measures.
struct PeakRecord
{
    double value = 0; // x[index]
    quint64 index = 0;
    double width = 0;      // samples between the half-prominence crossings; 0 when a side has none
    double prominence = 0; // value - max(leftMin, rightMin)
    double leftMin = 0;    // lowest sample between the peak and the nearest higher one to its left
    double rightMin = 0;   // the same to its right
};

// Finds the strict local maxima of x[0 .. n-1] (flat tops and the end samples are never
// peaks), measures them and keeps, in this order, those with value >= minHeight (-inf: off),
// prominence >= minProminence (<= 0: off), width >= minWidth (<= 0: off), then thins runs
// closer than minDistance samples (<= 1: off) greedily from the left, keeping the higher.
// out is replaced by the result, in ascending order of index. Takes time linear in n (plus
// a logarithm per peak) whatever the sequence holds.
void findPeaks(std::vector<PeakRecord> &out, const double *x, int n, double minHeight,
               quint64 minDistance, double minProminence, double minWidth);

// The same over a longer sequence given shortened: x[i] stands at position positions[i]
// (ascending) of it, and each run of equal samples that x leaves out lies between two kept
// samples of the same value (a long run shortened to its two ends). Such a run holds no peak,
// stops no walk and crosses no level that its end samples do not, so the records are those of
// the whole sequence: indexes, widths and spacing are counted in positions.
void findPeaks(std::vector<PeakRecord> &out, const double *x, const quint64 *positions, int n,
               double minHeight, quint64 minDistance, double minProminence, double minWidth);
