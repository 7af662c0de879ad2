#include "app/Startup.h"
#include "netClass/CmdDialog.h"
#include "netClass/UdpSerchDev.h"
#include "support/NetworkIsolation.h"
#include "support/SimulatedSonar.h"

#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QQuickItem>
#include <QQuickItemGrabResult>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

// The whole program under Xvfb, driven through its panels as an operator would, against
// simulated sonars inside the test's own network namespace: one behind a veth link, which the
// search lists, and one on a loopback address, which is connected by its address and streams.
// The test runs inside the program's own event loop, on its real window.
class TestFrontEndProgram : public QObject
{
    Q_OBJECT

public:
    explicit TestFrontEndProgram(QQuickWindow *window) : m_window(window) {}

private slots:
    void initTestCase();
    void searchListsTheSonar();
    void connectByAddressAndStart();
    void liveImageInsideTheCircle();
    void recordSuggestsAName();
    void languageButtonSwitchesEveryText();
    void stopEndsTheScan();
    void cleanupTestCase();

private:
    QQuickItem *item(const char *name) const;
    QObject *hub() const;
    void click(QQuickItem *target);
    int litPixelsInsideTheCircle();
    QStringList visibleTexts() const;
    void saveShot(const QString &name);
    bool sonarReceived(const QByteArray &frame) const;

    QQuickWindow *m_window;
    std::unique_ptr<SimulatedSonar> m_listed;
    std::unique_ptr<SimulatedSonar> m_sonar;
};

namespace {

const QByteArray StartFrame = QByteArray::fromHex("434d440601");
const QByteArray StopFrame = QByteArray::fromHex("434d440600");
const QByteArray SonarName = "SIM-1";

std::unique_ptr<SimulatedSonar> makeSonar(const QByteArray &name, const QString &address)
{
    auto sonar = std::make_unique<SimulatedSonar>();
    SimSonarDiscovery::Config config;
    config.name = name;
    sonar->discovery().setConfig(config);
    packageInfo head = SimSonar::defaultHeader();
    SimSonar::setDeviceName(&head, name);
    sonar->streamer().setHeader(head);
    sonar->streamer().setFrameRate(100);
    const quint32 bins = head.dataHeight;
    sonar->streamer().setEchoes({{0, bins * 0.3, 30000, 40}, {1, bins * 0.55, 20000, 60}}, 200);
    if (!sonar->start(address, CmdDialog::DefaultDevicePort, UdpSerchDev::SearchPort))
        return nullptr;
    return sonar;
}

bool hasHanCharacters(const QString &text)
{
    static const QRegularExpression han(QStringLiteral("[\\x{3400}-\\x{9fff}\\x{ff01}-\\x{ff5e}]"));
    return han.match(text).hasMatch();
}

} // namespace

QQuickItem *TestFrontEndProgram::item(const char *name) const
{
    return m_window->findChild<QQuickItem *>(QString::fromLatin1(name));
}

QObject *TestFrontEndProgram::hub() const
{
    return m_window->findChild<QObject *>(QStringLiteral("c_cppInformationCenter"));
}

void TestFrontEndProgram::click(QQuickItem *target)
{
    QVERIFY(target);
    QTRY_VERIFY_WITH_TIMEOUT(target->isVisible() && target->isEnabled(), 10000);
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

// Lit pixels of the sector image inside its circle. The item is grabbed alone, with only the
// beam lines drawn over it, which are light blue (their antialiased edges keep its hue).
int TestFrontEndProgram::litPixelsInsideTheCircle()
{
    QQuickItem *image = item("c_cppShowImage");
    QSharedPointer<QQuickItemGrabResult> grab = image->grabToImage();
    if (!grab)
        return -1;
    QSignalSpy ready(grab.data(), &QQuickItemGrabResult::ready);
    if (!ready.wait(10000))
        return -1;
    const QImage shot = grab->image();
    const QPointF centre(shot.width() / 2.0, shot.height() / 2.0);
    const double radius = shot.height() / 2.0 * 0.97;
    int lit = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (QLineF(centre, QPointF(x, y)).length() > radius)
                continue;
            const QColor c = shot.pixelColor(x, y);
            if (qMax(c.red(), qMax(c.green(), c.blue())) < 40)
                continue;
            const double b = qMax(1, c.blue());
            const bool beamLine = c.red() / b > 0.6 && c.red() / b < 0.9 && c.green() / b > 0.8 && c.green() / b < 1.05;
            if (!beamLine)
                ++lit;
        }
    }
    return lit;
}

// The text of every visible text item of the window, except the tips list (a history of
// messages in the language they were given in).
QStringList TestFrontEndProgram::visibleTexts() const
{
    QStringList texts;
    QQuickItem *tips = item("tipsList");
    const QList<QQuickItem *> all = m_window->findChildren<QQuickItem *>();
    for (QQuickItem *it : all) {
        if (!it->inherits("QQuickText") || !it->isVisible() || it->opacity() <= 0)
            continue;
        bool inTips = false;
        for (QQuickItem *p = it; p && !inTips; p = p->parentItem())
            inTips = p == tips;
        bool shown = true;
        for (QQuickItem *p = it; p && shown; p = p->parentItem())
            shown = p->isVisible() && p->opacity() > 0;
        if (!inTips && shown)
            texts << it->property("text").toString();
    }
    return texts;
}

// A picture of the whole window for the README, with the pointer over the 3D view so that no
// tool tip covers the controls.
void TestFrontEndProgram::saveShot(const QString &name)
{
    QTest::mouseMove(m_window, QPoint(m_window->width() * 4 / 5, m_window->height() / 2));
    QTest::qWait(300);
    const QString dir = QStringLiteral(KORVESSA_BINARY_DIR "/screenshots");
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(m_window->grabWindow().save(dir + QLatin1Char('/') + name));
}

bool TestFrontEndProgram::sonarReceived(const QByteArray &frame) const
{
    for (const auto &r : m_sonar->commands().received()) {
        if (r.frame == frame)
            return true;
    }
    return false;
}

void TestFrontEndProgram::initTestCase()
{
    if (!inOwnNetworkNamespace())
        QSKIP("needs a network namespace of its own");
    QVERIFY(ipCommand({"link", "add", "kv0", "type", "veth", "peer", "name", "kv1"}));
    QVERIFY(ipCommand({"addr", "add", "10.9.0.1/24", "dev", "kv0"}));
    QVERIFY(ipCommand({"addr", "add", "10.9.0.12/24", "dev", "kv1"}));
    QVERIFY(ipCommand({"link", "set", "kv0", "up"}));
    QVERIFY(ipCommand({"link", "set", "kv1", "up"}));
    m_listed = makeSonar("SIM-LISTED", QStringLiteral("10.9.0.12"));
    m_sonar = makeSonar(SonarName, QStringLiteral("127.0.0.2"));
    QVERIFY(m_listed && m_sonar);
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestFrontEndProgram::searchListsTheSonar()
{
    click(item("c_connectBtn"));
    QQuickItem *panel = item("c_connectToSonar");
    QTRY_VERIFY(panel->isVisible());
    // Both sonars answer the search: the one behind the veth link and the one on loopback.
    const QStringList rows{QStringLiteral("SIM-1\n127.0.0.2"), QStringLiteral("SIM-LISTED\n10.9.0.12")};
    QTRY_COMPARE_WITH_TIMEOUT(hub()->property("searchedNameAndIp").toStringList(), rows, 20000);
    // The first published row fills the empty address field.
    QTRY_COMPARE(item("c_connectIpEdit")->property("text").toString(), QStringLiteral("127.0.0.2"));
}

void TestFrontEndProgram::connectByAddressAndStart()
{
    QQuickItem *edit = item("c_connectIpEdit");
    click(edit);
    QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
    for (const char c : QByteArray("127.0.0.2"))
        QTest::keyClick(m_window, c);
    QCOMPARE(edit->property("text").toString(), QStringLiteral("127.0.0.2"));
    click(item("c_connectSonarBtn"));
    QTRY_VERIFY_WITH_TIMEOUT(hub()->property("connectOK").toBool(), 20000);
    QTRY_VERIFY(!item("c_connectToSonar")->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(m_sonar->commands().hasDestination(), 10000);

    click(item("c_startSonar"));
    QTRY_VERIFY_WITH_TIMEOUT(sonarReceived(StartFrame), 10000);
    QVERIFY(!sonarReceived(StopFrame));
}

void TestFrontEndProgram::liveImageInsideTheCircle()
{
    const uint first = hub()->property("frameSerialNum").toUInt();
    QTRY_VERIFY_WITH_TIMEOUT(litPixelsInsideTheCircle() > 1000, 30000);
    // The picture after a whole turn of the head (400 steps of 0.9 degrees).
    QTRY_VERIFY_WITH_TIMEOUT(hub()->property("frameSerialNum").toUInt() >= first + 400, 60000);
    saveShot(QStringLiteral("main-window-zh.png"));
}

void TestFrontEndProgram::recordSuggestsAName()
{
    QGuiApplication::clipboard()->clear();
    click(item("c_saveFile"));
    const QString expected = QString::fromLatin1(SonarName) + QLatin1Char('_')
        + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('_');
    QTRY_COMPARE(QGuiApplication::clipboard()->text(), expected);
    QObject *dialog = m_window->findChild<QObject *>(QStringLiteral("saveFile"));
    QVERIFY(dialog);
    QTRY_VERIFY(dialog->property("visible").toBool());
    QMetaObject::invokeMethod(dialog, "reject");
    QTRY_VERIFY(!dialog->property("visible").toBool());
}

void TestFrontEndProgram::languageButtonSwitchesEveryText()
{
    click(item("c_settings"));
    QTRY_VERIFY(item("c_setting")->isVisible());
    QVERIFY(visibleTexts().contains(QStringLiteral("已连接")));

    click(item("languageButton"));
    // Only the texts that are never translated keep their Chinese: the register fields'
    // placeholders and the register buttons.
    const QStringList untranslated{QStringLiteral("地址"), QStringLiteral("内容"), QStringLiteral("读fpga"),
                                   QStringLiteral("写fpga")};
    QStringList chinese;
    QTRY_VERIFY_WITH_TIMEOUT(([&] {
        chinese.clear();
        for (const QString &t : visibleTexts()) {
            if (hasHanCharacters(t) && !untranslated.contains(t))
                chinese << t;
        }
        return chinese.isEmpty();
    }()), 5000);
    const QString english = QLatin1Char('|') + visibleTexts().join(QLatin1Char('|')) + QLatin1Char('|');
    for (const char *t : {"|Connected|", "Frame:", "| Settings|", "|Range(m):|", "|set|"})
        QVERIFY2(english.contains(QString::fromLatin1(t)), t);
    QCOMPARE(QSettings(QStringLiteral("YourCompany"), QStringLiteral("YourApp")).value("Language").toString(),
             QStringLiteral("en_US"));
    click(item("c_settings"));
    QTRY_VERIFY(!item("c_setting")->isVisible());
    saveShot(QStringLiteral("main-window-en.png"));

    click(item("languageButton"));
    QTRY_VERIFY(visibleTexts().contains(QStringLiteral("已连接")));
    QCOMPARE(QSettings(QStringLiteral("YourCompany"), QStringLiteral("YourApp")).value("Language").toString(),
             QStringLiteral("zh_CN"));
}

void TestFrontEndProgram::stopEndsTheScan()
{
    const int before = m_sonar->commands().received().size();
    click(item("c_startSonar"));
    QTRY_VERIFY_WITH_TIMEOUT(sonarReceived(StopFrame), 10000);
    const auto frames = m_sonar->commands().received();
    int start = -1;
    int stop = -1;
    for (int i = 0; i < frames.size(); ++i) {
        if (frames.at(i).frame == StartFrame && start < 0)
            start = i;
        if (frames.at(i).frame == StopFrame && i >= before)
            stop = i;
    }
    QVERIFY(start >= 0 && stop > start);
    QVERIFY(!item("c_startSonar")->property("checked").toBool());
}

void TestFrontEndProgram::cleanupTestCase()
{
    m_sonar.reset();
    m_listed.reset();
}

int main(int argc, char *argv[])
{
    // The language setting goes to a directory of the test's own, never the operator's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    int testResult = 1;
    const int loopResult = runKorvessa(argc, argv, QUrl(QStringLiteral("qrc:/qmlsource/main.qml")),
                                       [&testResult, argc, argv](QObject *root) {
        auto *window = qobject_cast<QQuickWindow *>(root);
        QTimer::singleShot(0, root, [&testResult, window, argc, argv] {
            TestFrontEndProgram test(window);
            testResult = QTest::qExec(&test, argc, argv);
            window->close();
        });
    });
    return testResult != 0 ? testResult : loopResult;
}

#include "tst_frontend_program.moc"
