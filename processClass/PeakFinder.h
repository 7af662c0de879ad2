#pragma once

#include <QtGlobal>

#include <limits>
#include <vector>

// One local maximum of a sequence and its measures.
struct PeakRecord
{
    double value = 0; // x[index]
    quint64 index = 0;
    double width = 0; // samples between the half-prominence crossings; 0 when a side has none
    double prominence = 0; // value - max(leftMin, rightMin)
    double leftMin = 0; // lowest sample between the peak and the nearest higher one to its left
    double rightMin = 0; // the same to its right
};

// Finds the strict local maxima of x[0 .. n-1] (flat tops and the end samples are never
// peaks), measures them and keeps, in this order, those with value >= minHeight (-inf: off),
// prominence >= minProminence (<= 0: off), width >= minWidth (<= 0: off), then thins runs
// closer than minDistance samples (<= 1: off) greedily from the left, keeping the higher.
// out is replaced by the result, in ascending order of index. Takes time linear in n (plus
// a logarithm per peak) whatever the sequence holds.
void findPeaks(std::vector<PeakRecord> &out, const double *x, int n, double minHeight,
               quint64 minDistance, double minProminence, double minWidth);
