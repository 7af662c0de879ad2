#include "WhileThread.h"

#include <cxxabi.h>
#include <pthread.h>

#include <cstdlib>
#include <string>
#include <typeinfo>

namespace {

// The worker's class name, as the system's thread lists show it (at most 15 characters).
std::string threadNameOf(const std::type_info &type)
{
    int status = 0;
    char *demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : type.name();
    std::free(demangled);
    return name.substr(0, 15);
}

} // namespace

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
    // Named after the worker's class, so per-thread tools (top -H, the benchmarks) tell the
    // workers apart.
    const std::string name = threadNameOf(typeid(*this));
    m_thread = std::make_unique<std::thread>([this, name] {
        pthread_setname_np(pthread_self(), name.c_str());
        run();
    });
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
