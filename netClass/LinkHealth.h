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

// Times without a word from the peer, in milliseconds.
struct Limits
{
    quint32 probeAfterMs;   // the keepalive idle time: probes go out from then on
    quint32 notAnsweringMs; // while it owes an answer: it does not answer
    quint32 giveUpMs;       // while it owes an answer: the connection is to be ended as lost
};

enum class Verdict {
    Answering,
    NotAnswering,
    GivenUp, // silent past giveUpMs: whoever holds the connection ends it as lost
    Ended,   // the connection is over; whoever reads it reports that, not this
};

// Not answering once the peer owes an answer (a probe, or data sent to it) and has not been
// heard from for notAnsweringMs, given up once that has lasted giveUpMs: counted from the last
// word heard, so data sent meanwhile puts neither off. A peer that has stopped reading still
// acknowledges and answers.
Verdict judge(const TcpState &state, const Limits &limits);

// Whether to ask the kernel for one more keepalive probe now: the peer has been quiet past the
// idle time, nothing waits for an acknowledgement (the kernel resends that instead of probing),
// and it does not count as not answering yet. Probing more often than the kernel's one a
// second lets a lossy link that works be heard from well within notAnsweringMs; once that has
// passed, the kernel's own probes find the peer again, and fewer of them keep the probe count
// that TCP_INFO reports (eight bits) from wrapping round before giveUpMs.
bool probeDue(const TcpState &state, const Limits &limits);

} // namespace LinkHealth
