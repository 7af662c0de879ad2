#pragma once

// The echo found in one frame, one value pair per beam (A, then B). Ranges are 0 when the
// beam has no echo.
struct FrameResult
{
    double angleA = 0; // degrees, 0 to 360
    double angleB = 0;
    double rangeA = 0; // metres
    double rangeB = 0;
    double peakA = 0; // filtered strength at the echo
    double peakB = 0;
};
