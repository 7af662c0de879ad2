#pragma once

#include <cstring>

// True when two doubles are the same bit pattern: the equality of cache keys, under which a
// NaN finds itself and 0.0 and -0.0 are different keys.
inline bool sameBits(double x, double y)
{
    return std::memcmp(&x, &y, sizeof x) == 0;
}
