#include "LinkHealth.h"

#include <algorithm>

namespace LinkHealth {

Verdict judge(const TcpState &state, quint32 quietLimitMs)
{
    if (!state.established)
        return Verdict::Ended;
    const bool owed = state.probes > 0 || state.unacked > 0 || state.backoff > 0;
    // Data from the peer counts as hearing from it as much as an acknowledgement does: the
    // kernel does not note an acknowledgement that data carries when it acknowledges nothing new.
    const quint32 quietMs = std::min(state.lastAckMs, state.lastDataMs);
    return owed && quietMs >= quietLimitMs ? Verdict::NotAnswering : Verdict::Answering;
}

} // namespace LinkHealth
