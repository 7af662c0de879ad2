#include "WhileThread.h"

WhileThread::~WhileThread()
{
    // Derived workers stop in their own destructors; this is the last safety net for the
    // thread object itself.
    WhileThread::stop();
}

void WhileThread::start()
{
    if (m_thread)
        stop();
    m_running.store(true);
    m_thread = std::make_unique<std::thread>([this] { run(); });
}

void WhileThread::stop()
{
    m_running.store(false);
    if (m_thread) {
        if (m_thread->joinable())
            m_thread->join();
        m_thread.reset();
    }
}
