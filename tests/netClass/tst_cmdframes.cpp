#include "netClass/CmdFrames.h"

#include <QTest>

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
} // namespace

class TestCmdFrames : public QObject
{
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void commandText_data();
    void commandText();
    void acknowledgement_data();
    void acknowledgement();
    void upgradeAcknowledgement_data();
    void upgradeAcknowledgement();
    void deviceMessages();
    void hexNumbers();
};

void TestCmdFrames::frames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("data destination 192.168.1.100:5008")
        << CmdFrames::dataDestination("192.168.1.100", "5008") << hex("434D44006401A8C09013");
    QTest::newRow("data destination 127.0.0.1:5009")
        << CmdFrames::dataDestination("127.0.0.1", "5009") << hex("434D44000100007F9113");
    QTest::newRow("data destination, three parts: nothing")
        << CmdFrames::dataDestination("192.168.1", "5008") << QByteArray();
    QTest::newRow("data destination, empty address: nothing")
        << CmdFrames::dataDestination("", "5008") << QByteArray();
    QTest::newRow("version query") << CmdFrames::versionQuery() << hex("434D444E");
    QTest::newRow("fpga read 0x10, 4 bytes")
        << CmdFrames::fpgaRead(0x10, 4) << hex("434D44FF10000400");
    QTest::newRow("fpga read 0x1234, 0x0102")
        << CmdFrames::fpgaRead(0x1234, 0x0102) << hex("434D44FF34120201");
    QTest::newRow("fpga write 0x0102 to 0x10")
        << CmdFrames::fpgaWrite(0x10, 0x0102) << hex("434D44FE100000000102");
    QTest::newRow("fpga write 0xFF to 0x10")
        << CmdFrames::fpgaWrite(0x10, 0xFF) << hex("434D44FE1000000000FF");
    QTest::newRow("fpga write 0xA1B2C3D4 to 0xBEEF")
        << CmdFrames::fpgaWrite(0xBEEF, 0xA1B2C3D4) << hex("434D44FEEFBEA1B2C3D4");
    QTest::newRow("short stop scanning") << CmdFrames::shortCommand(6, 0) << hex("434D440600");
    const QByteArray file = QByteArray(768, 'x') + 'Z';
    QTest::newRow("upgrade of 769 bytes, packet 1: the last byte")
        << CmdFrames::upgradePacket(file, 1) << hex("434D44A5010300000100") + 'Z';
    QTest::newRow("upgrade packet 0: 768 bytes from the start")
        << CmdFrames::upgradePacket(file, 0).left(12) << hex("434D44A5010300000000") + "xx";
    QTest::newRow("upgrade packet beyond the file: nothing")
        << CmdFrames::upgradePacket(file, 2) << QByteArray();
    QTest::newRow("upgrade of 10485753 bytes: nothing")
        << CmdFrames::upgradePacket(QByteArray(10485753, 'x'), 0) << QByteArray();
}

void TestCmdFrames::frames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void TestCmdFrames::commandText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("start scanning") << QString::fromUtf8("0x06接0x01") << hex("434D440601");
    QTest::newRow("version") << QString::fromUtf8("0x4E") << hex("434D444E");
    QTest::newRow("automatic power") << QString::fromUtf8("0x10接0xff") << hex("434D4410FF");
    QTest::newRow("empty token gives 0") << QString::fromUtf8("0x06接") << hex("434D440600");
    QTest::newRow("low 8 bits of 0x1FF") << QString::fromUtf8("0x06接0x1FF") << hex("434D4406FF");
    QTest::newRow("without 0x") << QString::fromUtf8("10接ff") << hex("434D4410FF");
    QTest::newRow("upper-case prefix and digits")
        << QString::fromUtf8("0X0F接0XAB") << hex("434D440FAB");
    QTest::newRow("not a number gives 0")
        << QString::fromUtf8("0x18接zz接0x") << hex("434D44180000");
    QTest::newRow("range 12.5 m") << QString::fromUtf8("0x09接0x00接0x00接0x48接0x41")
                                  << hex("434D440900004841");
    QTest::newRow("three empty tokens") << QString::fromUtf8("接接") << hex("434D44000000");
    QTest::newRow("other separators are not tokens")
        << QString::fromUtf8("0x06,0x01") << hex("434D4400");
}

void TestCmdFrames::commandText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(CmdFrames::typedCommand(text).toHex(' '), expected.toHex(' '));
}

void TestCmdFrames::acknowledgement_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("ack");
    QTest::newRow("OK LF NUL") << QByteArray("OK\n\0", 4) << true;
    QTest::newRow("OK LF") << QByteArray("OK\n") << true;
    QTest::newRow("OK LF NUL and more") << QByteArray("OK\n\0zz", 6) << true;
    QTest::newRow("OK alone") << QByteArray("OK") << false;
    QTest::newRow("OK LF x") << QByteArray("OK\nx") << false;
    QTest::newRow("ok lower case") << QByteArray("ok\n") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestCmdFrames::acknowledgement()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, ack);
    QCOMPARE(CmdFrames::isAcknowledgement(reply), ack);
}

void TestCmdFrames::upgradeAcknowledgement_data()
{
    using A = CmdFrames::UpgradeAck;
    QTest::addColumn<QList<QByteArray>>("messages"); // as the channel's receives hand them over
    QTest::addColumn<int>("verdict");
    const QByteArray version("N\0V1.2\0", 7);
    QTest::newRow("OK and line feed") << QList<QByteArray>{"OK\n"} << int(A::Accepted);
    QTest::newRow("OK and any third byte") << QList<QByteArray>{"OK\x01"} << int(A::Accepted);
    QTest::newRow("split in two") << QList<QByteArray>{"OK", "\n"} << int(A::Accepted);
    QTest::newRow("byte by byte") << QList<QByteArray>{"O", "K", "\n"} << int(A::Accepted);
    QTest::newRow("OK alone: still waiting") << QList<QByteArray>{"OK"} << int(A::Incomplete);
    QTest::newRow("with the NUL: four bytes")
        << QList<QByteArray>{QByteArray("OK\n\0", 4)} << int(A::Rejected);
    QTest::newRow("four bytes in two")
        << QList<QByteArray>{"OK", QByteArray("\n\0", 2)} << int(A::Rejected);
    QTest::newRow("not OK") << QList<QByteArray>{"NO\n"} << int(A::Rejected);
    QTest::newRow("wrong from the first byte") << QList<QByteArray>{"X"} << int(A::Rejected);
    QTest::newRow("late version reply first")
        << QList<QByteArray>{version, "OK\n"} << int(A::Accepted);
    QTest::newRow("version reply inside the acknowledgement")
        << QList<QByteArray>{"O", version} << int(A::Rejected);
}

void TestCmdFrames::upgradeAcknowledgement()
{
    QFETCH(QList<QByteArray>, messages);
    QFETCH(int, verdict);
    QByteArray gathered;
    CmdFrames::UpgradeAck got = CmdFrames::UpgradeAck::Incomplete;
    for (const QByteArray &m : messages) {
        got = CmdFrames::gatherUpgradeAck(&gathered, m);
        if (got == CmdFrames::UpgradeAck::Accepted || got == CmdFrames::UpgradeAck::Rejected)
            break;
    }
    QCOMPARE(int(got), verdict);
}

void TestCmdFrames::deviceMessages()
{
    using CmdFrames::ScanNotice;
    QVERIFY(CmdFrames::isVersionReply(QByteArray("N\0V1.2.3\0", 9)));
    QCOMPARE(CmdFrames::versionTextOf(QByteArray("N\0V1.2.3\0junk", 13)), QString("V1.2.3"));
    QCOMPARE(CmdFrames::versionTextOf(QByteArray("N\0V1.2.3", 8)), QString("V1.2.3"));
    QCOMPARE(CmdFrames::versionTextOf(QByteArray("N\0\xe7\x89\x88", 5)), QString());
    QVERIFY(!CmdFrames::isVersionReply(QByteArray("N\0abc", 5)));
    QVERIFY(CmdFrames::isStatusMessage(QByteArray("N\0abc", 5)));
    QVERIFY(!CmdFrames::isVersionReply(QByteArray("N\0", 2)));
    QVERIFY(!CmdFrames::isVersionReply(QByteArray("OK\n\0", 4)));
    QCOMPARE(CmdFrames::versionTextOf(QByteArray("N\0\xe7\x89\x88\xe6\x9c\xac", 8)),
             QString::fromUtf8("版本"));

    QCOMPARE(CmdFrames::scanNoticeOf("xxendofscanyy"), ScanNotice::EndOfScan);
    QCOMPARE(CmdFrames::scanNoticeOf("reseting"), ScanNotice::Reseting);
    QCOMPARE(CmdFrames::scanNoticeOf("resetingendofscan"), ScanNotice::EndOfScan);
    QCOMPARE(CmdFrames::scanNoticeOf("endof"), ScanNotice::None);
    QCOMPARE(CmdFrames::scanNoticeOf(QByteArray("\0endofscan", 10)), ScanNotice::EndOfScan);

    QCOMPARE(CmdFrames::hexDump(hex("434dffa0")), QString("43 4D FF A0"));
    QCOMPARE(CmdFrames::hexDump(QByteArray()), QString());
}

void TestCmdFrames::hexNumbers()
{
    QCOMPARE(CmdFrames::hexToU16("10"), quint16(0x10));
    QCOMPARE(CmdFrames::hexToU16("0x0010"), quint16(0x10));
    QCOMPARE(CmdFrames::hexToU16("zz"), quint16(0));
    QCOMPARE(CmdFrames::hexToU16("10000"), quint16(0));
    QCOMPARE(CmdFrames::hexToU16(""), quint16(0));
    QCOMPARE(CmdFrames::hexToU32("FFFFFFFF"), quint32(0xFFFFFFFF));
    QCOMPARE(CmdFrames::hexToU32("1FFFFFFFF"), quint32(0));
    QCOMPARE(CmdFrames::hexToU32("0xff"), quint32(0xFF));
}

QTEST_APPLESS_MAIN(TestCmdFrames)
#include "tst_cmdframes.moc"
