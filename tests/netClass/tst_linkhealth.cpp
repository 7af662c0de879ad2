#include "netClass/LinkHealth.h"

#include <QTest>

using LinkHealth::TcpState;
using LinkHealth::Verdict;

Q_DECLARE_METATYPE(LinkHealth::TcpState)
Q_DECLARE_METATYPE(LinkHealth::Verdict)

namespace {

constexpr LinkHealth::Limits limits{1000, 7000, 70000};

TcpState state(quint32 probes, quint32 backoff, quint32 unacked, quint32 lastAckMs,
               quint32 lastDataMs = 600000, bool established = true)
{
    TcpState s;
    s.established = established;
    s.probes = probes;
    s.backoff = backoff;
    s.unacked = unacked;
    s.lastAckMs = lastAckMs;
    s.lastDataMs = lastDataMs;
    return s;
}

} // namespace

// Whether the sonar answers, from the kernel's figures of its connection.
class TestLinkHealth : public QObject
{
    Q_OBJECT
private slots:
    void judge_data()
    {
        QTest::addColumn<TcpState>("state");
        QTest::addColumn<Verdict>("verdict");
        QTest::newRow("idle, answered a moment ago") << state(0, 0, 0, 100) << Verdict::Answering;
        // Nothing owed: a link that works and has had nothing to say for a while.
        QTest::newRow("idle, quiet, nothing owed") << state(0, 0, 0, 600000) << Verdict::Answering;
        // Keepalive probes on their way through a lossy link, the last answer seconds old.
        QTest::newRow("probes out, within the limit") << state(9, 0, 0, 6900) << Verdict::Answering;
        QTest::newRow("probes unanswered") << state(12, 0, 0, 8000) << Verdict::NotAnswering;
        QTest::newRow("probe unanswered, at the limit")
            << state(1, 0, 0, 7000) << Verdict::NotAnswering;
        QTest::newRow("frame in flight, within the limit")
            << state(0, 0, 1, 6999) << Verdict::Answering;
        QTest::newRow("frame unacknowledged") << state(0, 0, 1, 7500) << Verdict::NotAnswering;
        QTest::newRow("retransmitting") << state(0, 5, 2, 20000) << Verdict::NotAnswering;
        QTest::newRow("backed off, queue empty") << state(0, 1, 0, 9000) << Verdict::NotAnswering;
        // A sonar that has stopped reading: window probes, each acknowledged.
        QTest::newRow("window probes answered") << state(3, 0, 0, 500) << Verdict::Answering;
        // Data heard from the sonar counts, whether or not it acknowledged anything new.
        QTest::newRow("frame in flight, sonar talking")
            << state(0, 0, 1, 9000, 200) << Verdict::Answering;
        QTest::newRow("frame unacknowledged, sonar quiet")
            << state(0, 0, 1, 9000, 8000) << Verdict::NotAnswering;
        // Given up after the same silence whether a frame sent meanwhile waits (the kernel
        // would count from that frame) or only probes do.
        QTest::newRow("probes unanswered, just within the give-up")
            << state(60, 0, 0, 69999, 69999) << Verdict::NotAnswering;
        QTest::newRow("probes unanswered, given up")
            << state(60, 0, 0, 70000, 70000) << Verdict::GivenUp;
        QTest::newRow("frame typed late in the silence, given up")
            << state(0, 12, 1, 71000) << Verdict::GivenUp;
        QTest::newRow("acknowledged, data long ago")
            << state(0, 0, 1, 200, 90000) << Verdict::Answering;
        QTest::newRow("closed or given up")
            << state(5, 3, 1, 70000, 70000, false) << Verdict::Ended;
        QTest::newRow("closed, nothing owed") << state(0, 0, 0, 10, 10, false) << Verdict::Ended;
    }
    void judge()
    {
        QFETCH(TcpState, state);
        QFETCH(Verdict, verdict);
        QCOMPARE(LinkHealth::judge(state, limits), verdict);
    }

    // Whether the watch asks for a probe of its own.
    void probeDue_data()
    {
        QTest::addColumn<TcpState>("state");
        QTest::addColumn<bool>("due");
        QTest::newRow("heard a moment ago") << state(0, 0, 0, 300, 300) << false;
        QTest::newRow("quiet for the idle time") << state(0, 0, 0, 1000, 1000) << true;
        QTest::newRow("probes unanswered") << state(6, 0, 0, 4000, 4000) << true;
        // The kernel resends the frame; a keepalive would not go out.
        QTest::newRow("frame unacknowledged") << state(0, 2, 1, 4000, 4000) << false;
        // Past the limit the kernel's own probes go on alone.
        QTest::newRow("not answering") << state(20, 0, 0, 7000, 7000) << false;
        QTest::newRow("data heard, acknowledgement old") << state(0, 0, 0, 5000, 200) << false;
        QTest::newRow("closed") << state(0, 0, 0, 5000, 5000, false) << false;
    }
    void probeDue()
    {
        QFETCH(TcpState, state);
        QFETCH(bool, due);
        QCOMPARE(LinkHealth::probeDue(state, limits), due);
    }
};

QTEST_APPLESS_MAIN(TestLinkHealth)
#include "tst_linkhealth.moc"
