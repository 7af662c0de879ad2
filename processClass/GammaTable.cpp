#include "processClass/GammaTable.h"

#include "processClass/SameBits.h"

#include <cmath>
#include <mutex>

namespace {

struct CachedTable
{
    double a;
    double b;
    std::shared_ptr<const GammaTable> table;
};

// Live drawing and replay may each use an exponent of their own; a few entries are plenty.
constexpr std::size_t cacheSize = 4;

} // namespace

bool GammaTable::isIdentity(double a, double b)
{
    const double s = a + b;
    return std::fabs(s - 1.0) * 1000000000000.0 <= std::fmin(std::fabs(s), 1.0);
}

quint16 GammaTable::correct(quint16 v, double a, double b)
{
    if (v == 0)
        return 0;
    const double s = a + b;
    double x = 65535.0 * std::pow(std::pow((v + 1e-10) / 65535.0, 1.0 / b), s);
    if (x > 65535.0)
        x = 65535.0;
    if (!(x > 0.0))
        return 0;
    return static_cast<quint16>(std::round(x));
}

GammaTable::GammaTable(double a, double b) : m_values(65536)
{
    for (int v = 0; v < 65536; ++v)
        m_values[v] = correct(static_cast<quint16>(v), a, b);
}

std::shared_ptr<const GammaTable> GammaTable::shared(double a, double b)
{
    if (isIdentity(a, b))
        return nullptr;

    static std::mutex mutex;
    static std::vector<CachedTable> cache;

    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = cache.begin(); it != cache.end(); ++it) {
            if (sameBits(it->a, a) && sameBits(it->b, b)) {
                CachedTable hit = *it;
                cache.erase(it);
                cache.insert(cache.begin(), hit);
                return hit.table;
            }
        }
    }

    // Built outside the lock so that another thread's lookup of a cached exponent never
    // waits for the several milliseconds a new table takes.
    auto table = std::make_shared<const GammaTable>(a, b);
    std::lock_guard<std::mutex> lock(mutex);
    cache.insert(cache.begin(), CachedTable{a, b, table});
    if (cache.size() > cacheSize)
        cache.pop_back();
    return table;
}
