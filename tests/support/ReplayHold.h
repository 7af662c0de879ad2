#pragma once

#include <atomic>
#include <memory>

class InformationCenter;
class QObject;

// Holds a replay on its own thread at its first stored image until it is released (or until a
// bound that only a hang reaches), so that it is certainly still running when the test acts,
// and counts the images it stores. The hold lives as long as the replay's connection to it,
// which ends with context.
struct ReplayHold
{
    std::atomic<bool> held{false};
    std::atomic<bool> released{false};
    std::atomic<int> images{0};

    static std::shared_ptr<ReplayHold> on(InformationCenter *hub, QObject *context);
};
