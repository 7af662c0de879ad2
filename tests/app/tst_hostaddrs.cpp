#include "app/InformationCenter.h"
#include "support/NetworkIsolation.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

// Lists the host's interfaces, so it runs only inside a network namespace of its own (the
// test is registered with the netns label), where it may also create interfaces. No traffic.

namespace {

// The IPv4 addresses of the interfaces that are up, in interface order, as ip(8) lists them.
QStringList addressesByIp()
{
    QProcess process;
    process.start(QStringLiteral("ip"), {"-o", "-4", "addr", "show", "up"});
    if (!process.waitForFinished(10000))
        return {};
    QStringList addresses;
    const QRegularExpression inet(QStringLiteral("\\binet ([0-9.]+)/"));
    for (const QString &line :
         QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n')) {
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

private slots:
    void initTestCase();
    void loopbackOnly();
    void ipv4OfInterfacesThatAreUp();
};

void TestHostAddrs::initTestCase()
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
    if (!ipCommand({"link", "add", "kvh0", "type", "veth", "peer", "name", "kvh1"}))
        QSKIP("cannot create a veth pair here");
    QVERIFY(ipCommand({"addr", "add", "10.77.0.1/24", "dev", "kvh0"}));
    QVERIFY(ipCommand({"-6", "addr", "add", "fd00:77::1/64", "dev", "kvh0", "nodad"}));
    QVERIFY(ipCommand({"addr", "add", "10.77.0.9/24", "dev", "kvh1"}));
    QVERIFY(ipCommand({"link", "set", "kvh0", "up"}));

    InformationCenter hub;
    const QStringList addresses = hub.f_getHostIpAddrs();
    QCOMPARE(addresses, (QStringList{"127.0.0.1", "10.77.0.1"}));
    QCOMPARE(addresses, addressesByIp());
}

QTEST_GUILESS_MAIN(TestHostAddrs)
#include "tst_hostaddrs.moc"
