// The receiver's port search at the top of the port range. Holding every port from 5008 up
// takes tens of thousands of sockets, so this runs only in a network namespace of its own,
// where no other program's ports are touched.
#include "processClass/PackageInfo.h"
#include "processClass/PacketRing.h"
#include "processClass/UdpReceiver.h"
#include "support/LogCollector.h"
#include "support/NetworkIsolation.h"

#include <QTest>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {

// Child processes that each bind a share of a port range on 127.0.0.1 and keep the sockets
// until they are killed; one process alone may not open that many descriptors.
class PortHolders
{
public:
    ~PortHolders()
    {
        for (pid_t pid : m_children) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    // Returns once every port from first to last is bound, false if a child failed.
    bool hold(int first, int last)
    {
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
            return false;
        const int perChild = int(std::min<rlim_t>(limit.rlim_max, 30000)) - 64;
        if (perChild <= 0)
            return false;
        for (int from = first; from <= last; from += perChild) {
            const int to = std::min(last, from + perChild - 1);
            int ready[2];
            if (::pipe(ready) != 0)
                return false;
            const pid_t pid = ::fork();
            if (pid < 0)
                return false;
            if (pid == 0)
                holdInChild(from, to, ready[1], limit.rlim_max);
            m_children.push_back(pid);
            ::close(ready[1]);
            char status = 0;
            const bool ok = ::read(ready[0], &status, 1) == 1 && status == 'R';
            ::close(ready[0]);
            if (!ok)
                return false;
        }
        return true;
    }

private:
    // Only system calls from here on: the child of a threaded process.
    [[noreturn]] static void holdInChild(int from, int to, int ready, rlim_t maxFiles)
    {
        const rlimit raised{maxFiles, maxFiles};
        ::setrlimit(RLIMIT_NOFILE, &raised);
        char status = 'R';
        for (int port = from; port <= to && status == 'R'; ++port) {
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(quint16(port));
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) != 0)
                status = 'F';
        }
        (void)!::write(ready, &status, 1);
        for (;;)
            ::pause();
    }

    std::vector<pid_t> m_children;
};

} // namespace

class TestUdpReceiverPorts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inOwnNetworkNamespace())
            QSKIP("holds every port from 5008 up: run only in a network namespace of its own");
    }

    // The search climbs to 65535 and no further: with that port free it is taken, with it
    // held too the search ends with a warning and the failure report instead of a port.
    void searchEndsAtTheTopOfTheRange_data()
    {
        QTest::addColumn<int>("lastHeld");
        QTest::addColumn<QString>("reported");
        QTest::newRow("all but 65535 held") << 65534 << QStringLiteral("65535");
        QTest::newRow("every port held") << 65535 << QString();
    }
    void searchEndsAtTheTopOfTheRange()
    {
        QFETCH(int, lastHeld);
        QFETCH(QString, reported);
        PortHolders holders;
        QVERIFY(holders.hold(5008, lastHeld));

        LogCollector log;
        PacketRing *ring = new PacketRing(packetSize, 4);
        QStringList ports;
        int failures = 0;
        {
            UdpReceiver rx(&ring, QStringLiteral("127.0.0.1"));
            connect(
                &rx, &UdpReceiver::sig_rSonarDataPort, this,
                [&ports](const QString &port) { ports << port; }, Qt::QueuedConnection);
            connect(
                &rx, &UdpReceiver::sigBindFailed, this,
                [&failures](const QString &, int error) {
                    // Every port held is reported as such, not as a system error.
                    QCOMPARE(error, 0);
                    ++failures;
                },
                Qt::QueuedConnection);
            rx.start();
            if (reported.isEmpty()) {
                // The warning comes after the search loop: seeing it means the loop ended.
                QTRY_VERIFY_WITH_TIMEOUT(log.contains(QtWarningMsg, QStringLiteral("65535")),
                                         20000);
            } else {
                QTRY_VERIFY_WITH_TIMEOUT(!ports.isEmpty(), 20000);
            }
            rx.stop();
        }
        QCoreApplication::processEvents();
        QCOMPARE(ports, reported.isEmpty() ? QStringList() : QStringList{reported});
        QCOMPARE(failures, reported.isEmpty() ? 1 : 0);
        delete ring;
    }
};

QTEST_GUILESS_MAIN(TestUdpReceiverPorts)
#include "tst_udpreceiver_ports.moc"
