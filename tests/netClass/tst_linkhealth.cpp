#include "netClass/LinkHealth.h"

#include <QTest>

using LinkHealth::TcpState;
using LinkHealth::Verdict;

Q_DECLARE_METATYPE(LinkHealth::TcpState)
Q_DECLARE_METATYPE(LinkHealth::Verdict)

namespace {

constexpr quint32 limitMs = 4000;

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
        // A keepalive probe on its way, the last answer one idle time old.
        QTest::newRow("probe out, within the limit") << state(1, 0, 0, 3100) << Verdict::Answering;
        QTest::newRow("probes unanswered") << state(2, 0, 0, 5000) << Verdict::NotAnswering;
        QTest::newRow("probe unanswered, at the limit")
            << state(1, 0, 0, limitMs) << Verdict::NotAnswering;
        QTest::newRow("frame in flight, within the limit")
            << state(0, 0, 1, limitMs - 1) << Verdict::Answering;
        QTest::newRow("frame unacknowledged") << state(0, 0, 1, 4500) << Verdict::NotAnswering;
        QTest::newRow("retransmitting") << state(0, 5, 2, 20000) << Verdict::NotAnswering;
        QTest::newRow("backed off, queue empty") << state(0, 1, 0, 9000) << Verdict::NotAnswering;
        // A sonar that has stopped reading: window probes, each acknowledged.
        QTest::newRow("window probes answered") << state(3, 0, 0, 500) << Verdict::Answering;
        // Data heard from the sonar counts, whether or not it acknowledged anything new.
        QTest::newRow("frame in flight, sonar talking")
            << state(0, 0, 1, 9000, 200) << Verdict::Answering;
        QTest::newRow("frame unacknowledged, sonar quiet")
            << state(0, 0, 1, 9000, 8000) << Verdict::NotAnswering;
        QTest::newRow("closed or given up")
            << state(5, 3, 1, 70000, 70000, false) << Verdict::Ended;
        QTest::newRow("closed, nothing owed") << state(0, 0, 0, 10, 10, false) << Verdict::Ended;
    }
    void judge()
    {
        QFETCH(TcpState, state);
        QFETCH(Verdict, verdict);
        QCOMPARE(LinkHealth::judge(state, limitMs), verdict);
    }
};

QTEST_APPLESS_MAIN(TestLinkHealth)
#include "tst_linkhealth.moc"
