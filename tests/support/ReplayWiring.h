#pragma once

#include "processClass/CloudPoint.h"

#include <vector>

class FileRead;
class InformationCenter;
class Processing;

// What the core object does around a replay: when the reader starts one, the history is
// emptied, the stop request cleared and the images and the point store reset; the front end's
// (or the reader's own) end of a replay also asks Processing to stop.
void wireReplay(FileRead &reader, Processing &processing, InformationCenter *center);

// The points the process-wide point-cloud store holds now, in slot order.
std::vector<CloudPoint> storedPoints();
