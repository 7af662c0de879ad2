#pragma once

#include <cmath>
#include <initializer_list>
#include <limits>

// One echo point: four packed floats, uploaded to the 3D view as one vertex.
struct CloudPoint
{
    float alongTrack = 0; // metres along the track
    float x = 0;          // metres, towards bearing 90
    float y = 0;          // metres, towards bearing 0
    float strength = 0;   // peak value of the echo
};

static_assert(sizeof(CloudPoint) == 4 * sizeof(float), "CloudPoint is four packed floats");

// The point of one echo as floats, into out, when every value is finite as a float; false
// (out unchanged) when one is not a number or lies beyond the largest float, where the
// conversion would give infinity: such a point is never stored, drawn or written.
inline bool toCloudPoint(double alongTrack, double x, double y, double strength, CloudPoint &out)
{
    const double largest = std::numeric_limits<float>::max();
    for (const double v : {alongTrack, x, y, strength}) {
        if (!(std::fabs(v) <= largest))
            return false;
    }
    out = {float(alongTrack), float(x), float(y), float(strength)};
    return true;
}
