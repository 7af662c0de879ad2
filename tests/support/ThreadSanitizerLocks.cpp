// ThreadSanitizer builds only. The standard library takes a shared lock with a steady-clock
// deadline (std::shared_timed_mutex, as the point store's reader does) through
// pthread_rwlock_clockrdlock, which this compiler's ThreadSanitizer does not intercept: it
// never sees the lock taken, and what is read under it looks like a race with the writer.
// In the test programs that call is routed here, onto pthread_rwlock_timedrdlock, which the
// sanitizer does see, with the same time left measured on the realtime clock.
#if defined(__SANITIZE_THREAD__)

#include <pthread.h>
#include <time.h>

namespace {

constexpr long nanosPerSecond = 1000000000L;

// The realtime instant that lies as far ahead as deadline does on clock.
timespec realtimeDeadline(clockid_t clock, const timespec &deadline)
{
    timespec now{};
    clock_gettime(clock, &now);
    long long left =
        (deadline.tv_sec - now.tv_sec) * 1LL * nanosPerSecond + (deadline.tv_nsec - now.tv_nsec);
    if (left < 0)
        left = 0;
    timespec at{};
    clock_gettime(CLOCK_REALTIME, &at);
    const long long nanos = at.tv_nsec + left % nanosPerSecond;
    at.tv_sec += time_t(left / nanosPerSecond + nanos / nanosPerSecond);
    at.tv_nsec = long(nanos % nanosPerSecond);
    return at;
}

} // namespace

extern "C" int pthread_rwlock_clockrdlock(pthread_rwlock_t *__restrict lock, clockid_t clock,
                                          const struct timespec *__restrict deadline) noexcept
{
    const timespec at = realtimeDeadline(clock, *deadline);
    return pthread_rwlock_timedrdlock(lock, &at);
}

#endif
