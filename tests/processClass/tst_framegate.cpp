#include "processClass/FrameGate.h"

#include <QTest>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Something one thread waits for until another one says so.
class Latch
{
public:
    void open()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    // False when the generous bound ran out first.
    bool wait()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

} // namespace

class tst_FrameGate : public QObject
{
    Q_OBJECT

private slots:
    void freeGateRunsRequestAtOnce();
    void holderRunsRequestsBeforeLettingGo();
    void noRequestLostWhileTheGateChangesHands();
};

void tst_FrameGate::freeGateRunsRequestAtOnce()
{
    FrameGate gate;
    std::thread::id ranOn;
    gate.post([&] { ranOn = std::this_thread::get_id(); });
    QCOMPARE(ranOn, std::this_thread::get_id());
}

void tst_FrameGate::holderRunsRequestsBeforeLettingGo()
{
    // A data-path thread holds the gate as long as the test wants; requests posted meanwhile
    // return at once and run on that thread, in order, before it lets go.
    FrameGate gate;
    Latch entered;
    Latch release;
    std::vector<int> order;
    std::thread::id holderId;
    bool timedOut = false;
    std::thread holder([&] {
        holderId = std::this_thread::get_id();
        FrameGate::Hold hold(gate);
        entered.open();
        timedOut = !release.wait();
        order.push_back(0);
    });
    QVERIFY(entered.wait());

    std::vector<std::thread::id> ranOn;
    for (int k = 1; k <= 3; ++k) {
        gate.post([&, k] {
            order.push_back(k);
            ranOn.push_back(std::this_thread::get_id());
        });
    }
    // Nothing ran on the posting thread; the holder owns the state until it lets go.
    QVERIFY(ranOn.empty());
    release.open();
    holder.join();
    QVERIFY(!timedOut);
    QCOMPARE(order, (std::vector<int>{0, 1, 2, 3}));
    QCOMPARE(ranOn, (std::vector<std::thread::id>(3, holderId)));

    // And a request posted after that runs at once again.
    bool ran = false;
    gate.post([&] { ran = true; });
    QVERIFY(ran);
}

void tst_FrameGate::noRequestLostWhileTheGateChangesHands()
{
    // A holder takes and leaves the gate as fast as it can while requests arrive, and stops
    // right after the last one was posted: each request must have run, exactly once and in
    // order, by the time the holder is gone, whoever had the gate when it came. Many short
    // rounds, since a request slips through only if it comes just as the holder lets go.
    for (int round = 0; round < 500; ++round) {
        FrameGate gate;
        std::atomic<bool> done{false};
        std::atomic<int> frames{0};
        std::thread holder([&] {
            while (!done.load()) {
                FrameGate::Hold hold(gate);
                ++frames;
            }
        });
        while (frames.load() == 0)
            std::this_thread::yield();
        std::vector<int> ran;
        const int requests = 50;
        for (int k = 0; k < requests; ++k)
            gate.post([&ran, k] { ran.push_back(k); });
        done = true;
        holder.join();
        QCOMPARE(int(ran.size()), requests);
        for (int k = 0; k < requests; ++k)
            QCOMPARE(ran[k], k);
    }
}

QTEST_APPLESS_MAIN(tst_FrameGate)
#include "tst_framegate.moc"
