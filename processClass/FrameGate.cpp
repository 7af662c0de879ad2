#include "processClass/FrameGate.h"

void FrameGate::post(Request request)
{
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_queue.push_back(std::move(request));
        m_pending.store(true);
    }
    // Pairs with the fence in leave(): either this try_lock sees the gate free, or the holder,
    // after letting go, sees the request pending and takes the gate back to run it.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (m_gate.try_lock())
        leave();
}

void FrameGate::enter()
{
    m_gate.lock();
    runRequests();
}

void FrameGate::leave()
{
    for (;;) {
        runRequests();
        m_gate.unlock();
        std::atomic_thread_fence(std::memory_order_seq_cst);
        // A request posted after runRequests found the gate held; if someone else holds it
        // now, that thread runs the request before it lets go.
        if (!m_pending.load() || !m_gate.try_lock())
            return;
    }
}

void FrameGate::runWaiting()
{
    // try_lock may fail spuriously, which could leave a request behind until the next frame;
    // an idle data path picks it up here.
    if (!m_pending.load())
        return;
    enter();
    leave();
}

void FrameGate::runRequests()
{
    if (!m_pending.load())
        return;
    std::vector<Request> requests;
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        requests.swap(m_queue);
        m_pending.store(false);
    }
    for (Request &request : requests)
        request();
}
