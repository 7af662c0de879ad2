#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

// Keeps one thread at a time on the data path's frame state (assembler, filter, images,
// batch, history, point-cloud file) without ever making the GUI thread wait for a frame.
//
// A data-path thread (the live loop, a replay) holds the gate while it handles one packet and
// the frame that packet may finish; two such threads wait for each other. The GUI thread
// never waits: post() hands over a request, which runs at once on the posting thread when
// nobody holds the gate, and otherwise on the holder, between two frames, before the holder
// lets go. Requests run in the order they were posted, each exactly once, always with the
// gate held, so they may touch the frame state freely. A request must not post another one.
class FrameGate
{
public:
    using Request = std::function<void()>;

    // Runs request now or hands it to the thread that holds the gate; returns at once.
    void post(Request request);

    // Data path: waits for the gate, then runs the requests that wait.
    void enter();
    // Data path: runs the requests that came in meanwhile, then lets go of the gate.
    void leave();
    // Data path, while it has nothing to do: runs requests that still wait (see post).
    void runWaiting();

    // Holds the gate for one packet's work.
    class Hold
    {
    public:
        explicit Hold(FrameGate &gate) : m_gate(gate) { m_gate.enter(); }
        ~Hold() { m_gate.leave(); }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        FrameGate &m_gate;
    };

private:
    void runRequests();

    std::mutex m_gate;
    std::mutex m_queueMutex; // held only to add or take requests
    std::vector<Request> m_queue;
    std::atomic<bool> m_pending{false};
};
