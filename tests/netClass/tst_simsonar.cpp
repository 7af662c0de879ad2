#include "netClass/CmdFrames.h"
#include "netClass/CmdSocket.h"
#include "support/NetworkIsolation.h"
#include "support/SimRecording.h"
#include "support/SimSonarCommandServer.h"
#include "support/SimSonarDiscovery.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

// The simulated sonar's command side must take host frames by their code however TCP cuts
// them, or the channel tests would prove nothing.
class TestSimSonar : public QObject
{
    Q_OBJECT
private slots:
    void framesByCode_data();
    void framesByCode();
    void answers();
    void upgradeChecks_data();
    void upgradeChecks();
    void discoveryRecord();
    void toolServesOnlyLoopbackOnHostNetwork_data();
    void toolServesOnlyLoopbackOnHostNetwork();
    void toolStreamsOnlyWhereTheHostSaid();
    void toolWritesARecording();
};

void TestSimSonar::framesByCode_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("frames");
    const QByteArray start("CMD\x06\x01", 5);
    const QByteArray version("CMD\x4E", 4);
    const QByteArray destination = QByteArray::fromHex("434D44000100007F9013");
    const QByteArray read = QByteArray::fromHex("434D44FF10000400");
    QTest::newRow("three merged") << QList<QByteArray>{start + version + destination}
                                  << QList<QByteArray>{start, version, destination};
    QTest::newRow("split in three")
        << QList<QByteArray>{read.left(2), read.mid(2, 3), read.mid(5)} << QList<QByteArray>{read};
    QTest::newRow("merged and split")
        << QList<QByteArray>{start + read.left(6), read.mid(6) + version}
        << QList<QByteArray>{start, read, version};
    QTest::newRow("range float") << QList<QByteArray>{
        QByteArray::fromHex("434D440900004841")
        + start} << QList<QByteArray>{QByteArray::fromHex("434D440900004841"), start};
    QTest::newRow("unknown code up to the next frame")
        << QList<QByteArray>{QByteArray("CMD\x77\x01\x02", 6) + start}
        << QList<QByteArray>{QByteArray("CMD\x77\x01\x02", 6), start};
    QTest::newRow("junk before a frame")
        << QList<QByteArray>{QByteArray("xx") + start} << QList<QByteArray>{start};
    const QByteArray firmware = QByteArray(768, 'a') + 'b';
    const QByteArray upgrade0 = CmdFrames::upgradePacket(firmware, 0);
    const QByteArray upgrade1 = CmdFrames::upgradePacket(firmware, 1);
    QTest::newRow("upgrade packets merged")
        << QList<QByteArray>{upgrade0 + upgrade1} << QList<QByteArray>{upgrade0, upgrade1};
    QTest::newRow("upgrade packet split in its header")
        << QList<QByteArray>{upgrade0.left(7), upgrade0.mid(7) + upgrade1.left(3), upgrade1.mid(3)}
        << QList<QByteArray>{upgrade0, upgrade1};
    QTest::newRow("cut short, taken after silence")
        << QList<QByteArray>{QByteArray("CMD\x09\x00", 5)}
        << QList<QByteArray>{QByteArray("CMD\x09\x00", 5)};
}

void TestSimSonar::framesByCode()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, frames);
    SimSonarCommandServer sonar;
    QVERIFY(sonar.start("127.0.0.1", 0));
    BsdSocket host = BsdSocket::tcp();
    QVERIFY(host.connectTo(Ipv4Endpoint{0x7f000001, sonar.port()}, 1000).ok());
    // The chunks go apart, so that the server mostly reads them one by one; merged by TCP
    // they must give the same frames.
    for (const QByteArray &c : chunks) {
        QVERIFY(host.send(c.constData(), std::size_t(c.size())).ok());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    QVERIFY(sonar.waitForFrames(int(frames.size()), 2000));
    // Leftover bytes would be taken as a frame after the server's 100 ms of silence.
    QTest::qWait(200);
    QList<QByteArray> got;
    for (const auto &r : sonar.received())
        got.append(r.frame);
    QCOMPARE(got, frames);
}

void TestSimSonar::answers()
{
    SimSonarCommandServer sonar;
    QVERIFY(sonar.start("127.0.0.1", 0));
    sonar.setVersionText("V9");
    sonar.setRegister(0x10, 0x0A0B0C0D);
    BsdSocket host = BsdSocket::tcp();
    QVERIFY(host.connectTo(Ipv4Endpoint{0x7f000001, sonar.port()}, 1000).ok());
    host.setReceiveTimeout(2000);
    auto exchange = [&host](const QByteArray &frame) {
        host.send(frame.constData(), std::size_t(frame.size()));
        char buffer[256];
        const BsdSocket::Result r = host.receive(buffer, sizeof buffer);
        return r.ok() ? QByteArray(buffer, qsizetype(r.bytes)) : QByteArray();
    };
    QCOMPARE(exchange(QByteArray("CMD\x4E", 4)), QByteArray("N\0V9\0", 5));
    QCOMPARE(exchange(QByteArray::fromHex("434D44FF10000400")), QByteArray::fromHex("0A0B0C0D"));
    QCOMPARE(exchange(QByteArray::fromHex("434D44FE2000000000FF")), QByteArray("OK\n\0", 4));
    QCOMPARE(sonar.registerValue(0x20), quint32(0xFF));
    QCOMPARE(exchange(QByteArray::fromHex("434D440600")), QByteArray("OK\n\0", 4));
    sonar.setFault(SimSonarCommandServer::Answer::Version,
                   SimSonarCommandServer::Fault::WrongLength);
    QCOMPARE(exchange(QByteArray("CMD\x4E", 4)).size(), 5);
    QVERIFY(sonar.sendToClient("endofscan"));
    char buffer[64];
    const BsdSocket::Result r = host.receive(buffer, sizeof buffer);
    QCOMPARE(QByteArray(buffer, qsizetype(r.bytes)), QByteArray("endofscan"));
    sonar.setFault(SimSonarCommandServer::Answer::Acknowledgement,
                   SimSonarCommandServer::Fault::Close);
    host.send("CMD\x06\x00", 5);
    QCOMPARE(host.receive(buffer, sizeof buffer).status, BsdSocket::Status::Closed);
}

void TestSimSonar::upgradeChecks_data()
{
    const QByteArray file = QByteArray(1536, 'a') + 'b';
    const QByteArray p0 = CmdFrames::upgradePacket(file, 0);
    const QByteArray p1 = CmdFrames::upgradePacket(file, 1);
    const QByteArray p2 = CmdFrames::upgradePacket(file, 2);
    QByteArray resized = p1;
    resized[4] = char(0x02); // 1538 bytes now
    QByteArray tooLarge = p0;
    tooLarge.replace(4, 4, QByteArray::fromHex("F9FF9F00")); // 10485753
    QTest::addColumn<QList<QByteArray>>("packets");
    QTest::addColumn<int>("taken");
    QTest::addColumn<int>("refused");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray first = file.left(768);
    QTest::newRow("in order") << QList<QByteArray>{p0, p1, p2} << 3 << 0 << file;
    QTest::newRow("index skipped") << QList<QByteArray>{p0, p2} << 1 << 1 << first;
    QTest::newRow("size changed") << QList<QByteArray>{p0, resized} << 1 << 1 << first;
    QTest::newRow("not from index 0") << QList<QByteArray>{p1} << 0 << 1 << QByteArray();
    QTest::newRow("a file too large") << QList<QByteArray>{tooLarge} << 0 << 1 << QByteArray();
    QTest::newRow("index 0 starts again") << QList<QByteArray>{p0, p1, p0} << 1 << 0 << first;
}

// The sonar takes an upgrade packet only where it fits the file the first one announced, so
// an upgrade test that finds nothing refused knows the host sent every packet right.
void TestSimSonar::upgradeChecks()
{
    QFETCH(QList<QByteArray>, packets);
    QFETCH(int, taken);
    QFETCH(int, refused);
    QFETCH(QByteArray, bytes);
    SimSonarCommandServer sonar;
    QVERIFY(sonar.start("127.0.0.1", 0));
    BsdSocket host = BsdSocket::tcp();
    QVERIFY(host.connectTo(Ipv4Endpoint{0x7f000001, sonar.port()}, 1000).ok());
    for (const QByteArray &p : packets)
        QVERIFY(host.send(p.constData(), std::size_t(p.size())).ok());
    QVERIFY(sonar.waitForFrames(int(packets.size()), 2000));
    const SimSonarCommandServer::Upgrade got = sonar.upgrade();
    QCOMPARE(got.packets, taken);
    QCOMPARE(got.refused, refused);
    QCOMPARE(got.bytes, bytes);
}

void TestSimSonar::discoveryRecord()
{
    SimSonarDiscovery::Config c;
    c.name = "sonar-name-longer-than-15";
    c.modeCount = 3;
    c.brightnessBase = 12;
    c.maxRange[2] = 77.5f;
    const QByteArray r = SimSonarDiscovery::buildReply(c);
    QCOMPARE(r.size(), 896);
    QCOMPARE(quint8(r.at(0)), quint8(0xA0));
    QCOMPARE(r.mid(1, 15), QByteArray("sonar-name-long"));
    QCOMPARE(quint8(r.at(28)), quint8(3));
    QCOMPARE(quint8(r.at(29)), quint8(12));
    float range;
    std::memcpy(&range, r.constData() + 128 + 96 * 2 + 56, 4);
    QCOMPARE(range, 77.5f);
    c.kxMark = true;
    c.replyLength = 40;
    const QByteArray kx = SimSonarDiscovery::buildReply(c);
    QCOMPARE(kx.size(), 40);
    QCOMPARE(kx.left(3), QByteArray("\0KX", 3));
    c.replyLength = 1000;
    QCOMPARE(SimSonarDiscovery::buildReply(c).size(), 1000);
}

void TestSimSonar::toolServesOnlyLoopbackOnHostNetwork_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("serves");
    QTest::newRow("loopback") << QStringLiteral("127.0.0.1") << true;
    QTest::newRow("every interface") << QStringLiteral("0.0.0.0") << false;
}

// On the host's network the standalone sonar may listen on loopback only: anywhere else its
// command port would answer whoever on the network reaches it.
void TestSimSonar::toolServesOnlyLoopbackOnHostNetwork()
{
    QFETCH(QString, address);
    QFETCH(bool, serves);
    if (inOwnNetworkNamespace())
        QSKIP("runs on the host's network");
    const QString commandPort = freeLoopbackPort(BsdSocket::tcp());
    const QString discoveryPort = freeLoopbackPort(BsdSocket::udp());
    QProcess tool;
    tool.start(
        QStringLiteral(KORVESSA_SONAR_SIM),
        {"--serve", address, "--command-port", commandPort, "--discovery-port", discoveryPort});
    QVERIFY(tool.waitForStarted(5000));
    if (serves) {
        QVERIFY(tool.waitForReadyRead(5000));
        QVERIFY(tool.readAllStandardOutput().startsWith("serving at 127.0.0.1"));
        tool.kill();
        QVERIFY(tool.waitForFinished(5000));
    } else {
        QVERIFY(tool.waitForFinished(5000));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 2);
        QVERIFY(tool.readAllStandardError().contains("refusing --serve 0.0.0.0"));
        QVERIFY(tool.readAllStandardOutput().isEmpty());
    }
}

// The standalone sonar streams once the host has given a destination it may use and started a
// scan; a destination it refuses leaves it silent, not streaming to some earlier one.
void TestSimSonar::toolStreamsOnlyWhereTheHostSaid()
{
    BsdSocket data = BsdSocket::udp();
    QVERIFY(data.bind(Ipv4Endpoint{0x7f000001, 0}));
    data.setReceiveTimeout(100);
    Ipv4Endpoint dataAt;
    data.localEndpoint(&dataAt);
    const QString dataPort = QString::number(dataAt.port);
    const QString commandPort = freeLoopbackPort(BsdSocket::tcp());
    QProcess tool;
    tool.start(QStringLiteral(KORVESSA_SONAR_SIM),
               {"--serve", "127.0.0.1", "--command-port", commandPort, "--discovery-port",
                freeLoopbackPort(BsdSocket::udp()), "--to", "127.0.0.1:" + dataPort, "--fps",
                "50"});
    QVERIFY(tool.waitForReadyRead(5000));
    QVERIFY(tool.readAllStandardOutput().startsWith("serving at 127.0.0.1"));

    CmdSocket host("127.0.0.1", quint16(commandPort.toUInt()));
    QCOMPARE(host.connect(), 0);
    QVERIFY(host.sendFrame(CmdFrames::dataDestination("10.1.2.3", "5008")) > 0);
    QVERIFY(host.sendFrame(CmdFrames::typedCommand(QString::fromUtf8("0x06接0x01"))) > 0);
    char buffer[2048];
    int datagrams = 0;
    for (int i = 0; i < 8; ++i)
        datagrams += data.receiveFrom(buffer, sizeof buffer).ok() ? 1 : 0;
    QCOMPARE(datagrams, 0);

    QVERIFY(host.sendFrame(CmdFrames::dataDestination("127.0.0.1", dataPort)) > 0);
    for (int i = 0; i < 50 && datagrams == 0; ++i)
        datagrams += data.receiveFrom(buffer, sizeof buffer).ok() ? 1 : 0;
    QCOMPARE(datagrams, 1);
    QByteArray reply;
    QCOMPARE(host.exchange(CmdFrames::versionQuery(), &reply, 2000), CmdSocket::Reply::Message);
    QCOMPARE(CmdFrames::versionTextOf(reply), QString("KX-SIM V1.0"));
    tool.terminate();
    QVERIFY(tool.waitForFinished(5000));
    QCOMPARE(tool.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestSimSonar)
#include "tst_simsonar.moc"

// --record writes the frames as the recorder would have: whole frames in order, the operator's
// speed and gamma stamped in, the head turning by the scan step.
void TestSimSonar::toolWritesARecording()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dive.DB"));
    QProcess tool;
    tool.start(QStringLiteral(KORVESSA_SONAR_SIM),
               {"--record", path, "--frames", "5", "--bins", "400", "--step", "10", "--speed",
                "2.5", "--gamma", "1.25"});
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode(), 0);
    const auto records = SimSonar::readRecords(path);
    QCOMPARE(int(records.size()), 5 * 3);
    for (std::size_t i = 0; i < records.size(); ++i) {
        QCOMPARE(records[i].frameSerial, quint32(i / 3));
        QCOMPARE(records[i].packSerial, quint16(i % 3));
        QCOMPARE(records[i].packNumPerFrame, quint16(3));
        QCOMPARE(records[i].speed, 2.5f);
        QCOMPARE(records[i].gamma, 1.25f);
        QCOMPARE(records[i].direction, 10.0f * float(i / 3));
    }
}
