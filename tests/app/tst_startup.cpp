#include <QProcess>
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

    static Run runProbe(const QString &url)
    {
        QProcess probe;
        // Asks Qt Quick for its null backend: only the program's own choice of OpenGL, made
        // before the application exists, overrides it.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QSG_RHI_BACKEND"), QStringLiteral("null"));
        probe.setProcessEnvironment(env);
        probe.start(QStringLiteral(KORVESSA_STARTUP_PROBE), {url});
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

    // The real front end, started once for all the rows of the window's report.
    Run m_real;
    QMap<QString, QString> m_report;

private slots:
    void initTestCase()
    {
        m_real = runProbe(QStringLiteral("qrc:/qmlsource/main.qml"));
        for (const QString &line : m_real.out.split('\n')) {
            const int eq = line.indexOf('=');
            if (eq > 0)
                m_report.insert(line.left(eq), line.mid(eq + 1));
        }
    }

    void realFrontEndExitsCleanlyWithEmptyErrorList()
    {
        QCOMPARE(m_real.status, QProcess::NormalExit);
        QCOMPARE(m_real.exitCode, 0);
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
        QTest::newRow("title") << "title" << "Korvessa";
        QTest::newRow("size") << "size" << "1080x800";
        QTest::newRow("visible") << "visible" << "1";
        QTest::newRow("colour") << "color" << "#000000";
        QTest::newRow("graphics API") << "graphicsApi" << "OpenGL";
        QTest::newRow("style") << "style" << "Basic";
        QTest::newRow("organisation") << "organization" << "nothing";
        QTest::newRow("icon") << "icon" << "set";
        QTest::newRow("packet size") << "packetSize" << "1016";
        QTest::newRow("devName") << "devName" << "[Korvessa]";
        QTest::newRow("userType") << "userType" << "[]";
        QTest::newRow("versionNum") << "versionNum" << "[V5.3]";
        QTest::newRow("buildTime") << "buildTime" << "[20260814]";
    }
    void realFrontEndWindow()
    {
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QVERIFY2(m_report.contains(key), qPrintable(m_real.out + m_real.err));
        QCOMPARE(m_report.value(key), expected);
    }

    // A front end that yields no root object: its errors are in the logged error list, and
    // the program ends with a failure instead of running without a window.
    void frontEndWithoutRootFails_data()
    {
        QTest::addColumn<QByteArray>("qml"); // empty: no file at all
        QTest::addColumn<QString>("error");  // expected in the logged error list
        QTest::newRow("syntax error") << QByteArray("import QtQuick\nItem { width: : 3 }\n")
                                      << "front.qml:2:";
        QTest::newRow("unknown type") << QByteArray("import QtQuick\nNoSuchItem {}\n")
                                      << "front.qml:2:";
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
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
