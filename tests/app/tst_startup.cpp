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

    Run runProbe(const QString &url)
    {
        QProcess probe;
        probe.start(QStringLiteral(KORVESSA_BINARY_DIR "/tests/startup_probe"), {url});
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

private slots:
    void realFrontEndOpensTitledWindowAndExitsCleanly()
    {
        const Run r = runProbe(QStringLiteral("qrc:/qmlsource/main.qml"));
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains("title=Korvessa size=1080x800 visible=1"), qPrintable(r.out + r.err));
        // The component's error list is logged exactly once, and it is empty.
        const QStringList lines = r.err.split('\n');
        QCOMPARE(lines.count(QStringLiteral("QList()")), 1);
        QVERIFY2(!r.err.contains("QQmlError"), qPrintable(r.err));
    }

    void brokenFrontEndLogsErrorsAndFails()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("broken.qml");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("import QtQuick\nItem { width: : 3 }\n");
        f.close();

        const Run r = runProbe(QUrl::fromLocalFile(path).toString());
        QCOMPARE(r.status, QProcess::NormalExit);
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains("broken.qml"), qPrintable(r.err));
        QVERIFY(!r.out.contains("title="));
    }

    void missingFrontEndFails()
    {
        const Run r = runProbe(QStringLiteral("qrc:/qmlsource/does_not_exist.qml"));
        QCOMPARE(r.status, QProcess::NormalExit);
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains("does_not_exist.qml"), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
