#include "app/InformationCenter.h"
#include "app/Startup.h"
#include "netClass/CmdDialog.h"
#include "netClass/ProgressDialog.h"
#include "netClass/UdpSerchDev.h"
#include "support/NetworkIsolation.h"
#include "support/ProgressWindow.h"
#include "support/ReplayHold.h"
#include "support/SimRecording.h"
#include "support/SimulatedSonar.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QQuickItem>
#include <QQuickItemGrabResult>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    void replayButtonStopsTheReplay();
    void closingTheWindowEndsAReplayAndTheProgram();
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

const QByteArray startFrame = QByteArray::fromHex("434d440601");
const QByteArray stopFrame = QByteArray::fromHex("434d440600");
const QByteArray sonarName = "SIM-1";

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
    if (!sonar->start(address, CmdDialog::defaultDevicePort, UdpSerchDev::searchPort))
        return nullptr;
    return sonar;
}

// A recording of three parts, X.DB, X_1.DB and X_2.DB, of simulated frames of one packet each,
// a stored image every 200 frames (half a turn in steps of 0.9 degrees).
constexpr int imagesPerPart = 20;
constexpr int framesPerPart = imagesPerPart * 200;

QString writeThreePartRecording(const QString &directory)
{
    SimSonar::ScanPlan plan;
    plan.header.dataHeight = 190;
    plan.frames = framesPerPart;
    plan.step = 0.9f;
    const SimSonar::SampleFunction echoes =
        SimSonar::echoSamples({{0, 60, 20000, 2}, {1, 150, 30000, 2}}, 50);
    for (const char *part : {"dive.DB", "dive_1.DB", "dive_2.DB"}) {
        if (SimSonar::appendRecording(QDir(directory).filePath(QLatin1String(part)), plan, echoes)
            <= 0)
            return QString();
        plan.firstSerial += quint32(framesPerPart);
    }
    return QDir(directory).filePath(QStringLiteral("dive.DB"));
}

// Asks a window to close as a window manager does: the window manager protocol's
// WM_DELETE_WINDOW message, through the X server (QWindow::close would pass by a modal window).
bool closeAsTheWindowManagerDoes(QWindow *window)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return false;
    xcb_connection_t *c = x11->connection();
    const auto atom = [c](const char *name) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, quint16(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return a;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window->winId());
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    if (event.type == XCB_ATOM_NONE || event.data.data32[0] == XCB_ATOM_NONE)
        return false;
    xcb_send_event(c, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&event));
    return xcb_flush(c) > 0;
}

// The program on its own, as started by closingTheWindowEndsAReplayAndTheProgram: it replays
// the recording, and once the replay runs and shows its progress, its window is closed as the
// window manager closes it. The replay is held until the program quits; shutdown must stop it.
// Reports on standard output what the test checks.
int closeDuringReplay(int argc, char *argv[], const QString &recording)
{
    std::shared_ptr<ReplayHold> hold;
    const int result = runKorvessa(
        argc, argv, QUrl(QStringLiteral("qrc:/qmlsource/main.qml")),
        [&hold, recording](QObject *root) {
            auto *window = qobject_cast<QQuickWindow *>(root);
            auto *hub =
                root->findChild<InformationCenter *>(QStringLiteral("c_cppInformationCenter"));
            hold = ReplayHold::on(hub, hub);
            QObject::connect(qApp, &QCoreApplication::aboutToQuit,
                             [hold] { hold->released = true; });
            emit hub->sigReadFile(QUrl::fromLocalFile(recording).toString());
            auto *poll = new QTimer(window);
            QObject::connect(poll, &QTimer::timeout, window, [window, poll, hold] {
                const ProgressDialog *progress = progressDialog();
                if (!window->isExposed() || !hold->held.load() || !progress
                    || !progress->isVisible())
                    return;
                poll->stop();
                std::printf("closeRequested=%d\n", closeAsTheWindowManagerDoes(window) ? 1 : 0);
                std::fflush(stdout);
            });
            poll->start(10);
        });
    std::printf("storedImages=%d\n", hold ? hold->images.load() : -1);
    std::fflush(stdout);
    return result;
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
            const bool beamLine = c.red() / b > 0.6 && c.red() / b < 0.9 && c.green() / b > 0.8
                                  && c.green() / b < 1.05;
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
    m_sonar = makeSonar(sonarName, QStringLiteral("127.0.0.2"));
    QVERIFY(m_listed && m_sonar);
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestFrontEndProgram::searchListsTheSonar()
{
    click(item("c_connectBtn"));
    QQuickItem *panel = item("c_connectToSonar");
    QTRY_VERIFY(panel->isVisible());
    // Both sonars answer the search: the one behind the veth link and the one on loopback.
    const QStringList rows{QStringLiteral("SIM-1\n127.0.0.2"),
                           QStringLiteral("SIM-LISTED\n10.9.0.12")};
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
    QTRY_VERIFY_WITH_TIMEOUT(sonarReceived(startFrame), 10000);
    QVERIFY(!sonarReceived(stopFrame));
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
    const QString expected = QString::fromLatin1(sonarName) + QLatin1Char('_')
                             + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
                             + QLatin1Char('_');
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
    const QStringList untranslated{QStringLiteral("地址"), QStringLiteral("内容"),
                                   QStringLiteral("读fpga"), QStringLiteral("写fpga")};
    QStringList chinese;
    QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                 chinese.clear();
                                 for (const QString &t : visibleTexts()) {
                                     if (hasHanCharacters(t) && !untranslated.contains(t))
                                         chinese << t;
                                 }
                                 return chinese.isEmpty();
                             }()),
                             5000);
    const QString english =
        QLatin1Char('|') + visibleTexts().join(QLatin1Char('|')) + QLatin1Char('|');
    for (const char *t : {"|Connected|", "Frame:", "| Settings|", "|Range(m):|", "|set|"})
        QVERIFY2(english.contains(QString::fromLatin1(t)), t);
    QCOMPARE(QSettings(QStringLiteral("YourCompany"), QStringLiteral("YourApp"))
                 .value("Language")
                 .toString(),
             QStringLiteral("en_US"));
    click(item("c_settings"));
    QTRY_VERIFY(!item("c_setting")->isVisible());
    saveShot(QStringLiteral("main-window-en.png"));

    click(item("languageButton"));
    QTRY_VERIFY(visibleTexts().contains(QStringLiteral("已连接")));
    QCOMPARE(QSettings(QStringLiteral("YourCompany"), QStringLiteral("YourApp"))
                 .value("Language")
                 .toString(),
             QStringLiteral("zh_CN"));
}

void TestFrontEndProgram::stopEndsTheScan()
{
    const int before = m_sonar->commands().received().size();
    click(item("c_startSonar"));
    QTRY_VERIFY_WITH_TIMEOUT(sonarReceived(stopFrame), 10000);
    const auto frames = m_sonar->commands().received();
    int start = -1;
    int stop = -1;
    for (int i = 0; i < frames.size(); ++i) {
        if (frames.at(i).frame == startFrame && start < 0)
            start = i;
        if (frames.at(i).frame == stopFrame && i >= before)
            stop = i;
    }
    QVERIFY(start >= 0 && stop > start);
    QVERIFY(!item("c_startSonar")->property("checked").toBool());
}

// The replay button stops a running replay: the replay's progress leaves the window to the
// operator. The replay is held at its first image until the stop has arrived, so it cannot
// have ended on its own; after the stop it ends at once, with a fraction of the recording.
void TestFrontEndProgram::replayButtonStopsTheReplay()
{
    // The replay button is offered while no sonar is connected.
    click(item("c_connectBtn"));
    QTRY_VERIFY_WITH_TIMEOUT(!hub()->property("connectOK").toBool(), 10000);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString recording = writeThreePartRecording(dir.path());
    QVERIFY(!recording.isEmpty());

    auto *center = qobject_cast<InformationCenter *>(hub());
    QVERIFY(center);
    std::shared_ptr<ReplayHold> hold = ReplayHold::on(center, this);
    const auto unhold = qScopeGuard([&] {
        hold->released = true;
        disconnect(center, &InformationCenter::updateSchedule, this, nullptr);
    });
    // Emitted on the GUI thread when the operator stops; the replay's own end comes later, on
    // its thread, perhaps after this test has returned.
    auto stopped = std::make_shared<std::atomic<bool>>(false);
    connect(
        center, &InformationCenter::sigStopReadFile, this, [stopped] { *stopped = true; },
        Qt::DirectConnection);
    const auto unwatch = qScopeGuard(
        [&] { disconnect(center, &InformationCenter::sigStopReadFile, this, nullptr); });

    // The dialog opens on the recording, and the operator takes it.
    QObject *dialog = m_window->findChild<QObject *>(QStringLiteral("readFile"));
    QVERIFY(dialog);
    QVERIFY(dialog->setProperty("selectedFile", QUrl::fromLocalFile(recording)));
    click(item("c_readFile"));
    QTRY_VERIFY(dialog->property("visible").toBool());
    QMetaObject::invokeMethod(dialog, "accept");
    QTRY_VERIFY_WITH_TIMEOUT(hold->held.load(), 20000);
    ProgressDialog *progress = progressDialog();
    QVERIFY(progress);
    QTRY_VERIFY_WITH_TIMEOUT(progress->isVisible(), 10000);
    QVERIFY(!stopped->load());

    click(item("c_readFile"));
    QTRY_VERIFY_WITH_TIMEOUT(stopped->load(), 10000);
    hold->released = true;
    // The replay's end: its progress closes and the slider over its stored images shows.
    QTRY_VERIFY_WITH_TIMEOUT(!progress->isVisible() && item("palyBackSlider")->isVisible(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(item("fileStatusText")->property("text").toString(), QString(),
                              10000);
    QVERIFY2(hold->images.load() < imagesPerPart, qPrintable(QString::number(hold->images.load())));
}

// Closing the window during a replay, as the window manager does, ends the program cleanly:
// the replay is stopped by the shutdown long before the recording's end. The program runs as
// a process of its own (this one, started in its replaying role) so that its end can be seen.
void TestFrontEndProgram::closingTheWindowEndsAReplayAndTheProgram()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString recording = writeThreePartRecording(dir.path());
    QVERIFY(!recording.isEmpty());
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QSignalSpy finished(&program, &QProcess::finished);
    program.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--close-during-replay"), recording});
    const auto end = qScopeGuard([&] {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(10000);
        }
    });
    QVERIFY(program.waitForStarted(10000));
    QVERIFY2(finished.wait(60000), "the program still runs after its window was closed");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("closeRequested=1\n")), qPrintable(out));
    const QRegularExpressionMatch images =
        QRegularExpression(QStringLiteral("storedImages=(-?\\d+)")).match(out);
    QVERIFY2(images.hasMatch(), qPrintable(out));
    const int stored = images.captured(1).toInt();
    QVERIFY2(stored >= 1 && stored < imagesPerPart, qPrintable(out));
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
    if (argc == 3 && std::strcmp(argv[1], "--close-during-replay") == 0)
        return closeDuringReplay(1, argv, QString::fromLocal8Bit(argv[2]));

    int testResult = 1;
    const int loopResult =
        runKorvessa(argc, argv, QUrl(QStringLiteral("qrc:/qmlsource/main.qml")),
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
