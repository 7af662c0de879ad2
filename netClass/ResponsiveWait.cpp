#include "ResponsiveWait.h"

#include <QCoreApplication>

#include <thread>

namespace ResponsiveWait {

namespace {

// Milliseconds left until the deadline, rounded up so that a wait never ends early.
int msLeft(Clock::time_point deadline)
{
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    return int(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

void handleDueEvents()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

void until(Clock::time_point deadline)
{
    handleDueEvents();
    for (int ms = msLeft(deadline); ms > 0; ms = msLeft(deadline)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(qMin(ms, sliceMs)));
        handleDueEvents();
    }
}

CmdInbox::Take take(CmdInbox &inbox, QByteArray *message, Clock::time_point deadline)
{
    handleDueEvents();
    for (;;) {
        const int ms = msLeft(deadline);
        const CmdInbox::Take got = inbox.take(message, qMin(ms, sliceMs));
        if (got != CmdInbox::Take::Timeout || ms <= sliceMs)
            return got;
        handleDueEvents();
    }
}

} // namespace ResponsiveWait
