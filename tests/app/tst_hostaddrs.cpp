#include "app/InformationCenter.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <unistd.h>

// Lists the host's interfaces, so it runs only inside a network namespace of its own (the
// test is registered with the netns label), where it may also create interfaces. No traffic.

namespace {

QByteArray linkOf(const char *path)
{
    char target[128] = {};
    const ssize_t length = readlink(path, target, sizeof(target) - 1);
    return length > 0 ? QByteArray(target, length) : QByteArray();
}

// ctest starts the test through unshare, which execs it: its parent (ctest, or the shell of
// a manual run) is still in the namespace the test must not touch.
bool inOwnNetworkNamespace()
{
    const QByteArray own = linkOf("/proc/self/ns/net");
    const QByteArray parent = linkOf(QStringLiteral("/proc/%1/ns/net").arg(getppid()).toLatin1().constData());
    return !own.isEmpty() && !parent.isEmpty() && own != parent;
}

bool ip(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("ip"), arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

// The IPv4 addresses of the interfaces that are up, in interface order, as ip(8) lists them.
QStringList addressesByIp()
{
    QProcess process;
    process.start(QStringLiteral("ip"), {"-o", "-4", "addr", "show", "up"});
    if (!process.waitForFinished(10000))
        return {};
    QStringList addresses;
    const QRegularExpression inet(QStringLiteral("\\binet ([0-9.]+)/"));
    for (const QString &line : QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n')) {
        const QRegularExpressionMatch match = inet.match(line);
        if (match.hasMatch())
            addresses.append(match.captured(1));
    }
    return addresses;
}

} // namespace

class TestHostAddrs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void loopbackOnly();
    void ipv4OfInterfacesThatAreUp();
};

void TestHostAddrs::init()
{
    if (!inOwnNetworkNamespace())
        QSKIP("needs a network namespace of its own (run through ctest: netns label)");
}

void TestHostAddrs::loopbackOnly()
{
    InformationCenter hub;
    QCOMPARE(hub.f_getHostIpAddrs(), QStringList{QStringLiteral("127.0.0.1")});
}

void TestHostAddrs::ipv4OfInterfacesThatAreUp()
{
    // A veth pair inside this namespace: one end up with an IPv4 and an IPv6 address, the other
    // down with an IPv4 address. Nothing is sent; the namespace ends with the test.
    if (!ip({"link", "add", "hubv0", "type", "veth", "peer", "name", "hubv1"}))
        QSKIP("cannot create a veth pair here");
    QVERIFY(ip({"addr", "add", "10.77.0.1/24", "dev", "hubv0"}));
    QVERIFY(ip({"-6", "addr", "add", "fd00:77::1/64", "dev", "hubv0", "nodad"}));
    QVERIFY(ip({"addr", "add", "10.77.0.9/24", "dev", "hubv1"}));
    QVERIFY(ip({"link", "set", "hubv0", "up"}));

    InformationCenter hub;
    const QStringList addresses = hub.f_getHostIpAddrs();
    QCOMPARE(addresses, (QStringList{"127.0.0.1", "10.77.0.1"}));
    QCOMPARE(addresses, addressesByIp());
}

QTEST_GUILESS_MAIN(TestHostAddrs)
#include "tst_hostaddrs.moc"
