#include "PeakFinder.h"

#include <algorithm>
#include <cmath>

void findPeaks(std::vector<PeakRecord> &out, const double *x, int n, double minHeight,
               quint64 minDistance, double minProminence, double minWidth)
{
    out.clear();
    if (n < 3)
        return;

    const bool heightOn = minHeight > -std::numeric_limits<double>::infinity();
    for (int i = 1; i < n - 1; ++i) {
        const double top = x[i];
        if (!(top > x[i - 1] && top > x[i + 1]))
            continue;
        // The height test only looks at the value, so it can go before the measuring walks
        // without changing what is kept.
        if (heightOn && top < minHeight)
            continue;

        double leftMin = top;
        for (int j = i - 1; j >= 0; --j) {
            if (x[j] > top)
                break;
            leftMin = std::min(leftMin, x[j]);
        }
        double rightMin = top;
        for (int j = i + 1; j < n; ++j) {
            if (x[j] > top)
                break;
            rightMin = std::min(rightMin, x[j]);
        }
        const double prominence = top - std::max(leftMin, rightMin);
        const double half = top - 0.5 * prominence;

        int left = -1;
        for (int j = i - 1; j >= 0; --j) {
            if (x[j] <= half) {
                left = j;
                break;
            }
        }
        int right = -1;
        for (int j = i + 1; j < n; ++j) {
            if (x[j] <= half) {
                right = j;
                break;
            }
        }
        const double width = (left >= 0 && right >= 0) ? double(right - left) : 0.0;
        out.push_back({ top, quint64(i), width, prominence, leftMin, rightMin });
    }

    if (minProminence > 0)
        out.erase(std::remove_if(out.begin(), out.end(),
                                 [&](const PeakRecord &r) { return r.prominence < minProminence; }),
                  out.end());
    if (minWidth > 0)
        out.erase(std::remove_if(out.begin(), out.end(),
                                 [&](const PeakRecord &r) { return r.width < minWidth; }),
                  out.end());
    if (minDistance > 1 && !out.empty()) {
        std::size_t kept = 0;
        for (std::size_t k = 1; k < out.size(); ++k) {
            if (out[k].index - out[kept].index < minDistance) {
                if (out[k].value > out[kept].value)
                    out[kept] = out[k];
            } else {
                out[++kept] = out[k];
            }
        }
        out.resize(kept + 1);
    }
    std::sort(out.begin(), out.end(),
              [](const PeakRecord &a, const PeakRecord &b) { return a.index < b.index; });
}
