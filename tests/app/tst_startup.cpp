#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        int exitCode = -1;
        QProcess::ExitStatus status = QProcess::CrashExit;
        QString out;
        QString err;
    };

    // The probe keeps its settings here, never in the user's own.
    QTemporaryDir m_config;

    QString settingsFile() const
    {
        return m_config.filePath(QStringLiteral("YourCompany/YourApp.conf"));
    }
    void presetLanguage(const QString &code)
    {
        QFile::remove(settingsFile());
        if (!code.isEmpty())
            QSettings(settingsFile(), QSettings::IniFormat).setValue("Language", code);
    }
    QString storedLanguage() const
    {
        return QSettings(settingsFile(), QSettings::IniFormat).value("Language").toString();
    }

    Run runProbe(const QString &url, const QString &switchTo = QString()) const
    {
        QProcess probe;
        // Asks Qt Quick for its null backend: only the program's own choice of OpenGL, made
        // before the application exists, overrides it.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QSG_RHI_BACKEND"), QStringLiteral("null"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        // Libraries the sanitizer run keeps loaded in the program until its leak check.
        if (env.contains(QStringLiteral("KORVESSA_PROBE_PRELOAD")))
            env.insert(QStringLiteral("LD_PRELOAD"),
                       env.value(QStringLiteral("KORVESSA_PROBE_PRELOAD")));
        probe.setProcessEnvironment(env);
        QStringList arguments{url};
        if (!switchTo.isEmpty())
            arguments << switchTo;
        probe.start(QStringLiteral(KORVESSA_STARTUP_PROBE), arguments);
        Run r;
        if (!probe.waitForFinished(60000)) {
            probe.kill();
            probe.waitForFinished();
            return r;
        }
        r.exitCode = probe.exitCode();
        r.status = probe.exitStatus();
        r.out = QString::fromLocal8Bit(probe.readAllStandardOutput());
        r.err = QString::fromLocal8Bit(probe.readAllStandardError());
        return r;
    }

    static QMap<QString, QString> reportOf(const Run &run)
    {
        QMap<QString, QString> report;
        for (const QString &line : run.out.split('\n')) {
            const int eq = line.indexOf('=');
            if (eq > 0)
                report.insert(line.left(eq), line.mid(eq + 1));
        }
        return report;
    }

    // The real front end, started once for all the rows of the window's report.
    Run m_real;
    QMap<QString, QString> m_report;

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        presetLanguage(QString());
        m_real = runProbe(QStringLiteral("qrc:/qmlsource/main.qml"));
        m_report = reportOf(m_real);
    }

    void realFrontEndExitsCleanlyWithEmptyErrorList()
    {
        QCOMPARE(m_real.status, QProcess::NormalExit);
        QVERIFY2(m_real.exitCode == 0, qPrintable(m_real.err));
        // The component's error list is logged exactly once, and it is empty.
        const QStringList lines = m_real.err.split('\n');
        QCOMPARE(lines.count(QStringLiteral("QList()")), 1);
        QVERIFY2(!m_real.err.contains("QQmlError"), qPrintable(m_real.err));
    }

    // What start-up sets up, as the running window shows it.
    void realFrontEndWindow_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("title") << "title"
                               << "Korvessa";
        QTest::newRow("size") << "size"
                              << "1080x800";
        QTest::newRow("visible") << "visible"
                                 << "1";
        QTest::newRow("colour") << "color"
                                << "#000000";
        QTest::newRow("graphics API") << "graphicsApi"
                                      << "OpenGL";
        QTest::newRow("style") << "style"
                               << "Basic";
        QTest::newRow("organisation") << "organization"
                                      << "nothing";
        QTest::newRow("icon") << "icon"
                              << "set";
        QTest::newRow("packet size") << "packetSize"
                                     << "1016";
        QTest::newRow("devName") << "devName"
                                 << "[Korvessa]";
        QTest::newRow("userType") << "userType"
                                  << "[]";
        QTest::newRow("versionNum") << "versionNum"
                                    << "[V" KORVESSA_VERSION "]";
        QTest::newRow("buildTime") << "buildTime"
                                   << "[20260814]";
        QTest::newRow("sector image") << "c_cppShowImage"
                                      << "ShowImage";
        QTest::newRow("command channel") << "c_cppCmdDialog"
                                         << "CmdDialog";
        QTest::newRow("state hub") << "c_cppInformationCenter"
                                   << "InformationCenter";
        QTest::newRow("3D view") << "c_cppShowPoint"
                                 << "ShowPoint";
        QTest::newRow("window capture") << "screenShot"
                                        << "ScreenShot";
        QTest::newRow("language on first start") << "language"
                                                 << "zh_CN";
    }
    void realFrontEndWindow()
    {
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QVERIFY2(m_report.contains(key), qPrintable(m_real.out + m_real.err));
        QCOMPARE(m_report.value(key), expected);
    }

    // The language comes from the stored setting before the front end is created, can be
    // switched while the window is up, and the choice is stored; the window still closes
    // with exit code 0.
    void languageFromSettingAndSwitched_data()
    {
        QTest::addColumn<QString>("preset"); // empty: nothing stored
        QTest::addColumn<QString>("switchTo");
        QTest::addColumn<QString>("atStart");
        QTest::addColumn<QString>("textAtStart");
        QTest::addColumn<QString>("textAfterSwitch");
        QTest::addColumn<QString>("stored");
        const QString chinese = QString::fromUtf8("断开连接");
        QTest::newRow("first start, to English") << ""
                                                 << "en_US"
                                                 << "zh_CN" << chinese << "Disconnect"
                                                 << "en_US";
        QTest::newRow("English, to Chinese") << "en_US"
                                             << "zh_CN"
                                             << "en_US"
                                             << "Disconnect" << chinese << "zh_CN";
        QTest::newRow("English, unknown code") << "en_US"
                                               << "fr_FR"
                                               << "en_US"
                                               << "Disconnect"
                                               << "Disconnect"
                                               << "en_US";
    }
    void languageFromSettingAndSwitched()
    {
        QFETCH(QString, preset);
        QFETCH(QString, switchTo);
        QFETCH(QString, atStart);
        QFETCH(QString, textAtStart);
        QFETCH(QString, textAfterSwitch);
        QFETCH(QString, stored);
        presetLanguage(preset);
        const Run r = runProbe(QStringLiteral("qrc:/qmlsource/main.qml"), switchTo);
        QCOMPARE(r.status, QProcess::NormalExit);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QMap<QString, QString> report = reportOf(r);
        QCOMPARE(report.value("language"), atStart);
        QCOMPARE(report.value("textAtStart"), textAtStart);
        QCOMPARE(report.value("textAfterSwitch"), textAfterSwitch);
        QCOMPARE(storedLanguage(), stored);
    }

    // A front end that yields no root object: its errors are in the logged error list, and
    // the program ends with a failure instead of running without a window.
    void frontEndWithoutRootFails_data()
    {
        QTest::addColumn<QByteArray>("qml"); // empty: no file at all
        QTest::addColumn<QString>("error");  // expected in the logged error list
        QTest::newRow("syntax error")
            << QByteArray("import QtQuick\nItem { width: : 3 }\n") << "front.qml:2:";
        QTest::newRow("unknown type")
            << QByteArray("import QtQuick\nNoSuchItem {}\n") << "front.qml:2:";
        QTest::newRow("missing file") << QByteArray() << "front.qml";
    }
    void frontEndWithoutRootFails()
    {
        QFETCH(QByteArray, qml);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("front.qml");
        if (!qml.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(qml);
        }

        const Run r = runProbe(QUrl::fromLocalFile(path).toString());
        QCOMPARE(r.status, QProcess::NormalExit);
        QVERIFY(r.exitCode != 0);
        // The error list, up to the line that says the program gives up.
        const int list = r.err.indexOf(QStringLiteral("QList("));
        const int end = r.err.indexOf(QStringLiteral("The front end could not be created"));
        QVERIFY2(list >= 0 && end > list, qPrintable(r.err));
        QVERIFY2(r.err.mid(list, end - list).contains(error), qPrintable(r.err));
        QCOMPARE(r.err.count(QStringLiteral("QList(")), 1);
        QVERIFY(!r.out.contains("title="));
    }

    // A front end that loads but is no window, or lacks an object the core object is built
    // on: the log says which, and the program ends with a failure before any worker starts
    // (the data receiver would log its port).
    void frontEndWithoutCoreObjectsFails_data()
    {
        QTest::addColumn<QByteArray>("qml");
        QTest::addColumn<QString>("fault");
        const QByteArray imports =
            "import QtQuick\nimport QtQuick.Controls\n"
            "import ShowImage.module 1.0\nimport CmdDialog.module 1.0\n"
            "import InformationCenter.module 1.0\nimport ShowPoint.module 1.0\n";
        const QByteArray image = "ShowImage { objectName: \"c_cppShowImage\" }\n";
        const QByteArray channel = "CmdDialog { objectName: \"c_cppCmdDialog\" }\n";
        const QByteArray hub = "InformationCenter { objectName: \"c_cppInformationCenter\" }\n";
        const QByteArray view = "ShowPoint { objectName: \"c_cppShowPoint\" }\n";
        QTest::newRow("root is an item")
            << imports + "Item {\n" + image + channel + hub + view + "}\n"
            << "The front end's root object is not a window: QQuickItem";
        QTest::newRow("no sector image")
            << imports + "ApplicationWindow {\n" + channel + hub + view + "}\n"
            << "The front end lacks c_cppShowImage (ShowImage)";
        QTest::newRow("no command channel")
            << imports + "ApplicationWindow {\n" + image + hub + view + "}\n"
            << "The front end lacks c_cppCmdDialog (CmdDialog)";
        QTest::newRow("no 3D view")
            << imports + "ApplicationWindow {\n" + image + channel + hub + "}\n"
            << "The front end lacks c_cppShowPoint (ShowPoint)";
        QTest::newRow("state hub misnamed, no channel")
            << imports + "ApplicationWindow {\n" + image + view
                   + "InformationCenter { objectName: \"hub\" }\n}\n"
            << "The front end lacks c_cppCmdDialog (CmdDialog), c_cppInformationCenter "
               "(InformationCenter)";
        QTest::newRow("hub under the image's name")
            << imports + "ApplicationWindow {\n" + channel + hub + view
                   + "InformationCenter { objectName: \"c_cppShowImage\" }\n}\n"
            << "The front end lacks c_cppShowImage (ShowImage)";
    }
    void frontEndWithoutCoreObjectsFails()
    {
        QFETCH(QByteArray, qml);
        QFETCH(QString, fault);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("front.qml");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(qml);
        f.close();

        const Run r = runProbe(QUrl::fromLocalFile(path).toString());
        QCOMPARE(r.status, QProcess::NormalExit);
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains(QStringLiteral("QList()")), qPrintable(r.err));
        const QStringList lines = r.err.split('\n');
        QVERIFY2(lines.contains(fault), qPrintable(r.err));
        QVERIFY2(!r.err.contains(QString::fromUtf8("接收声纳udp 数据的端口")), qPrintable(r.err));
        QVERIFY(!r.out.contains("title="));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
