#include "LinkHealth.h"

#include <algorithm>

namespace LinkHealth {

namespace {

// Data from the peer counts as hearing from it as much as an acknowledgement does: the
// kernel does not note an acknowledgement that data carries when it acknowledges nothing new.
quint32 quietMs(const TcpState &state)
{
    return std::min(state.lastAckMs, state.lastDataMs);
}

} // namespace

Verdict judge(const TcpState &state, const Limits &limits)
{
    if (!state.established)
        return Verdict::Ended;
    const bool owed = state.probes > 0 || state.unacked > 0 || state.backoff > 0;
    if (!owed)
        return Verdict::Answering;
    const quint32 quiet = quietMs(state);
    if (quiet >= limits.giveUpMs)
        return Verdict::GivenUp;
    return quiet >= limits.notAnsweringMs ? Verdict::NotAnswering : Verdict::Answering;
}

bool probeDue(const TcpState &state, const Limits &limits)
{
    const quint32 quiet = quietMs(state);
    return state.established && state.unacked == 0 && quiet >= limits.probeAfterMs
           && quiet < limits.notAnsweringMs;
}

} // namespace LinkHealth
