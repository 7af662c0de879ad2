#include "WalkedPeaks.h"

#include <algorithm>

std::vector<PeakRecord> walkedPeaks(const double *x, int n)
{
    std::vector<PeakRecord> out;
    for (int i = 1; i + 1 < n; ++i) {
        const double top = x[i];
        if (!(top > x[i - 1] && top > x[i + 1]))
            continue;
        double leftMin = top;
        for (int j = i - 1; j >= 0 && !(x[j] > top); --j)
            leftMin = std::min(leftMin, x[j]);
        double rightMin = top;
        for (int j = i + 1; j < n && !(x[j] > top); ++j)
            rightMin = std::min(rightMin, x[j]);
        const double prominence = top - std::max(leftMin, rightMin);
        const double half = top - 0.5 * prominence;
        int left = i - 1;
        while (left >= 0 && !(x[left] <= half))
            --left;
        int right = i + 1;
        while (right < n && !(x[right] <= half))
            ++right;
        const double width = (left >= 0 && right < n) ? double(right - left) : 0.0;
        out.push_back({top, quint64(i), width, prominence, leftMin, rightMin});
    }
    return out;
}
