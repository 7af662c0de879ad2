#pragma once

#include "processClass/ImageFrame.h"
#include "processClass/PackageInfo.h"
#include "showClass/ImageVolume.h"

#include <deque>
#include <memory>
#include <optional>

// What the GUI thread asks of the renderer between two frames. ShowPoint collects it on the
// GUI thread and ShowPoint::sync hands it over while the GUI thread is blocked, so the render
// thread never reads anything the GUI thread is writing. A newer request of a kind replaces
// an older one; drags add up.
struct ShowInputs
{
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> colorTable;
    std::optional<float> pointSize;
    std::optional<float> powerThr;
    std::optional<float> maxStrength;
    std::optional<int> colorModel;
    std::optional<bool> showSlice;

    std::optional<int> sliceIndex;
    bool sliceMoved = false; // sliceIndex was set above 0: take the slice's size again

    // A point update: the cloud is read from the store once, at the hand-over.
    bool pointsChanged = false;
    packageInfo head;
    float maxRadius = 0;

    // A new image stack with the volume built from that same snapshot (null for no images).
    bool imagesChanged = false;
    std::deque<ImageFrame> images;
    std::shared_ptr<const ImageVolume> volume;

    bool panReset = false;
    float dragX = 0; // sum of the drags since the last reset
    float dragY = 0;
};
