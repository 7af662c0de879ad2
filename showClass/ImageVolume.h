#pragma once

#include "processClass/ImageFrame.h"

#include <QByteArray>
#include <QtGlobal>

#include <deque>
#include <memory>

// The stacked sweep images of a replay as an 8-bit volume: the high byte of every sample,
// image after image, each row after row. One snapshot: its size and depth belong together.
struct ImageVolume
{
    QByteArray bytes; // width x height x depth
    int width = 0;
    int height = 0;
    int depth = 0;
    double length = 0; // along-track metres the images cover
};

// Builds the volume from the images, taking width and height from the first. An image of
// another size, or with fewer samples than its size says, is left as a zero-filled layer.
// Null when there is no image, the first one has no area, or the volume cannot be held.
std::shared_ptr<const ImageVolume> buildVolume(const std::deque<ImageFrame> &images);
