#pragma once

#include "processClass/CloudPoint.h"

#include <functional>
#include <vector>

class QString;

class FileRead;
class InformationCenter;
class Processing;

// What the core object does around a replay: when the reader starts one, the history is
// emptied, the stop request cleared and the images and the point store reset; the front end's
// (or the reader's own) end of a replay also asks Processing to stop.
void wireReplay(FileRead &reader, Processing &processing, InformationCenter *center);

// The points the process-wide point-cloud store holds now, in slot order.
std::vector<CloudPoint> storedPoints();

// Replays the recording at path as the program does (FileRead on its thread handing each part
// to Processing::processFile) and returns the seconds from the request to the end signal, or
// -1 when the replay has not ended within timeoutMs. after, when given, sees the replay's
// Processing before it is taken down.
double timedReplay(const QString &path, int timeoutMs,
                   const std::function<void(Processing &)> &after = {});
