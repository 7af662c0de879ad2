#include "processClass/WhileThread.h"

#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Loops like every live worker; counts how many run() bodies execute at once.
class LoopWorker : public WhileThread
{
public:
    ~LoopWorker() override { stop(); }
    std::atomic<int> m_runs{0};
    std::atomic<int> m_concurrent{0};
    std::atomic<int> m_maxConcurrent{0};

protected:
    void run() override
    {
        ++m_runs;
        const int now = ++m_concurrent;
        int seen = m_maxConcurrent.load();
        while (now > seen && !m_maxConcurrent.compare_exchange_weak(seen, now)) {}
        while (isRunning())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        --m_concurrent;
    }
};

// Returns by itself, like a replay that has finished.
class OnceWorker : public WhileThread
{
public:
    ~OnceWorker() override { stop(); }
    std::atomic<int> m_runs{0};

protected:
    void run() override { ++m_runs; }
};

} // namespace

class TestWhileThread : public QObject
{
    Q_OBJECT

private slots:
    void stopWithoutStartRunsNothing()
    {
        LoopWorker w;
        w.stop();
        w.stop();
        QCOMPARE(w.m_runs.load(), 0);
    }

    void startRunsOnceAndStopJoins()
    {
        LoopWorker w;
        w.start();
        QTRY_COMPARE(w.m_runs.load(), 1);
        w.stop();
        QCOMPARE(w.m_concurrent.load(), 0);
        w.stop();
    }

    void restartWhileRunningNeverOverlaps()
    {
        LoopWorker w;
        for (int i = 0; i < 20; ++i)
            w.start();
        QTRY_COMPARE(w.m_runs.load(), 20);
        w.stop();
        QCOMPARE(w.m_maxConcurrent.load(), 1);
    }

    void startAfterFinishedRunJoinsAndRunsAgain()
    {
        OnceWorker w;
        w.start();
        QTRY_COMPARE(w.m_runs.load(), 1);
        w.start();
        QTRY_COMPARE(w.m_runs.load(), 2);
        w.stop();
    }

    // The destructor ends the loop and joins: leaving the scope returns.
    void destroyingRunningWorkerStopsIt()
    {
        LoopWorker w;
        w.start();
        QTRY_COMPARE(w.m_runs.load(), 1);
    }
};

QTEST_GUILESS_MAIN(TestWhileThread)
#include "tst_whilethread.moc"
