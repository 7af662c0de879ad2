#pragma once

#include "CmdInbox.h"

#include <QByteArray>

#include <chrono>

// Waits of the GUI thread that keep the window alive: at least every SliceMs milliseconds
// the events that are due are handled, except the operator's input (painting, timers, queued
// signals, the desktop's "are you alive" pings), so a long exchange with the sonar neither
// freezes the window nor lets the operator act in the middle of it. Input that arrives
// meanwhile is handled afterwards.
namespace ResponsiveWait {

using Clock = std::chrono::steady_clock;
constexpr int sliceMs = 10;

// Returns once the steady clock has reached the deadline.
void until(Clock::time_point deadline);

// The next message of the inbox, or Timeout at the deadline, or Closed when the connection
// has gone. A message is taken the moment it arrives; one already queued without waiting.
CmdInbox::Take take(CmdInbox &inbox, QByteArray *message, Clock::time_point deadline);

} // namespace ResponsiveWait
