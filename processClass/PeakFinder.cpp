#include "PeakFinder.h"

#include <algorithm>
#include <cmath>

// Every peak's walks (to the nearest higher sample for its minima, to the half-level
// crossings for its width) can span the whole sequence, which makes plain walks quadratic on
// a hostile sequence of many equal or slowly falling peaks. The walks are answered instead
// from monotonic stacks built in three linear passes, with results identical to the walks:
// - a stack of strictly falling values, each with the minimum of the samples it covers,
//   gives the minimum up to the nearest higher sample;
// - a stack of strictly rising values (the running minima seen from the current sample)
//   holds the nearest sample at or below any level, found by binary search.
// NaN samples never stop a walk, never lower a minimum and never cross a level, so every
// pass skips them.

namespace {

struct Covered
{
    int index;
    double minimum; // of the non-NaN samples from index up to the next entry, walk order
};

class WalkStacks
{
public:
    WalkStacks(const double *x, int n) : m_x(x)
    {
        m_falling.reserve(std::size_t(n));
        m_rising.reserve(std::size_t(n));
    }

    void clear()
    {
        m_falling.clear();
        m_rising.clear();
    }

    // Minimum of x[i] and the samples walked from i up to the nearest higher sample; then
    // takes i onto the stack.
    double minimumTo(int i)
    {
        double m = m_x[i];
        while (!m_falling.empty() && !(m_x[m_falling.back().index] > m_x[i])) {
            m = std::min(m, m_falling.back().minimum);
            m_falling.pop_back();
        }
        m_falling.push_back({i, m});
        return m;
    }

    // The nearest sample already taken with a value at or below level, or -1.
    int nearestAtOrBelow(double level) const
    {
        const auto above = std::partition_point(m_rising.begin(), m_rising.end(),
                                                [&](int j) { return m_x[j] <= level; });
        return above == m_rising.begin() ? -1 : *(above - 1);
    }

    void takeRising(int i)
    {
        while (!m_rising.empty() && m_x[m_rising.back()] >= m_x[i])
            m_rising.pop_back();
        m_rising.push_back(i);
    }

private:
    const double *m_x;
    std::vector<Covered> m_falling;
    std::vector<int> m_rising;
};

} // namespace

void findPeaks(std::vector<PeakRecord> &out, const double *x, int n, double minHeight,
               quint64 minDistance, double minProminence, double minWidth)
{
    findPeaks(out, x, nullptr, n, minHeight, minDistance, minProminence, minWidth);
}

void findPeaks(std::vector<PeakRecord> &out, const double *x, const quint64 *positions, int n,
               double minHeight, quint64 minDistance, double minProminence, double minWidth)
{
    auto position = [positions](int i) { return positions ? positions[i] : quint64(i); };
    out.clear();
    if (n < 3)
        return;

    const bool heightOn = minHeight > -std::numeric_limits<double>::infinity();
    for (int i = 1; i < n - 1; ++i) {
        const double top = x[i];
        if (!(top > x[i - 1] && top > x[i + 1]))
            continue;
        // The height test only looks at the value, so it can go before the measuring without
        // changing what is kept.
        if (heightOn && top < minHeight)
            continue;
        out.push_back({top, quint64(i), 0.0, 0.0, 0.0, 0.0});
    }
    if (out.empty())
        return;

    WalkStacks walks(x, n);
    const int peaks = int(out.size());

    // Right minima, from the end.
    int p = peaks - 1;
    for (int i = n - 1; i >= 0 && p >= 0; --i) {
        if (std::isnan(x[i]))
            continue;
        const double m = walks.minimumTo(i);
        if (quint64(i) == out[std::size_t(p)].index)
            out[std::size_t(p--)].rightMin = m;
    }

    // Left minima, prominences and left crossings, from the start.
    std::vector<int> leftCrossing(std::size_t(peaks), -1);
    walks.clear();
    p = 0;
    for (int i = 0; i < n && p < peaks; ++i) {
        if (std::isnan(x[i]))
            continue;
        const double m = walks.minimumTo(i);
        if (quint64(i) == out[std::size_t(p)].index) {
            PeakRecord &r = out[std::size_t(p)];
            r.leftMin = m;
            r.prominence = r.value - std::max(r.leftMin, r.rightMin);
            leftCrossing[std::size_t(p)] = walks.nearestAtOrBelow(r.value - 0.5 * r.prominence);
            ++p;
        }
        walks.takeRising(i);
    }

    // Right crossings, from the end.
    walks.clear();
    p = peaks - 1;
    for (int i = n - 1; i >= 0 && p >= 0; --i) {
        if (std::isnan(x[i]))
            continue;
        if (quint64(i) == out[std::size_t(p)].index) {
            PeakRecord &r = out[std::size_t(p)];
            const int left = leftCrossing[std::size_t(p)];
            const int right = walks.nearestAtOrBelow(r.value - 0.5 * r.prominence);
            r.width = (left >= 0 && right >= 0) ? double(position(right) - position(left)) : 0.0;
            --p;
        }
        walks.takeRising(i);
    }
    if (positions) {
        for (PeakRecord &r : out)
            r.index = positions[r.index];
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
