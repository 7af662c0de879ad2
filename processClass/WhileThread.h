#pragma once

#include <atomic>
#include <memory>
#include <thread>

// Base of every worker: one standard-library thread that runs run() once per start().
// Each run() loops while isRunning() and returns soon after stop() clears the flag.
// A derived worker's destructor must call stop() first, so that run() never touches
// members that are already destroyed.
class WhileThread
{
public:
    WhileThread() = default;
    WhileThread(const WhileThread &) = delete;
    WhileThread &operator=(const WhileThread &) = delete;
    virtual ~WhileThread();

    virtual void start();
    virtual void stop();

protected:
    virtual void run() = 0;
    bool isRunning() const { return m_running.load(); }

private:
    std::unique_ptr<std::thread> m_thread;
    std::atomic<bool> m_running{false};
};
