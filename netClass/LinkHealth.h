#pragma once

#include <QtGlobal>

// Whether the peer of a TCP connection is still answering, judged from what the kernel
// reports of the connection (TCP_INFO). No sockets here, so the rule can be checked on its own.
namespace LinkHealth {

struct TcpState
{
    bool established = false; // the connection is open in both directions
    quint32 probes = 0;       // keepalive or window probes sent since the peer last answered
    quint32 backoff = 0;      // retransmission time-outs in a row
    quint32 unacked = 0;      // segments sent and not yet acknowledged
    quint32 lastAckMs = 0;    // since the peer last acknowledged anything
    quint32 lastDataMs = 0;   // since the peer last sent data
};

enum class Verdict {
    Answering,
    NotAnswering,
    Ended, // the connection is over; whoever reads it reports that, not this
};

// Not answering once the peer owes an answer (a probe, or data sent to it) and has not been
// heard from for quietLimitMs. An idle link that works hears from its peer at least every
// keepalive idle time plus a round trip, so a limit above that never fires on it; a peer that
// has stopped reading still acknowledges and answers.
Verdict judge(const TcpState &state, quint32 quietLimitMs);

} // namespace LinkHealth
