#pragma once

#include <QtGlobal>

#include <memory>
#include <vector>

// The gamma curve of the sector image as a lookup table over every 16-bit sample value.
// A table is costly to build (two pow per entry), so tables are shared and kept for the few
// exponents in use; the operator changes gamma rarely.
class GammaTable
{
public:
    // The table for gammaCorrect(.., a, b); null when (a, b) leaves the samples unchanged.
    static std::shared_ptr<const GammaTable> shared(double a, double b);

    // True when a + b is 1 under the fuzzy comparison for doubles: the curve is the identity.
    static bool isIdentity(double a, double b);

    // The curve for one sample, computed directly.
    static quint16 correct(quint16 v, double a, double b);

    GammaTable(double a, double b);

    quint16 operator[](quint16 v) const { return m_values[v]; }
    const quint16 *data() const { return m_values.data(); }

private:
    std::vector<quint16> m_values;
};
