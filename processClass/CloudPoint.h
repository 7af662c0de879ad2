#pragma once

// One echo point: four packed floats, uploaded to the 3D view as one vertex.
struct CloudPoint
{
    float alongTrack = 0; // metres along the track
    float x = 0;          // metres, towards bearing 90
    float y = 0;          // metres, towards bearing 0
    float strength = 0;   // peak value of the echo
};

static_assert(sizeof(CloudPoint) == 4 * sizeof(float), "CloudPoint is four packed floats");
