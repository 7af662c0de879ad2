#include "app/LanguageSet.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

#include <memory>

namespace {

struct Message
{
    const char *context;
    const char *source;
    const char *english; // nullptr: shown as its source text in both languages
};

// Every message the interface translates, with the English text the operator sees.
const Message catalogue[] = {
    {"CmdDialog", u8"版本信息", u8"Version Information"},
    {"CmdDialog", u8"查询版本号超时，请重试", u8"Version query timed out. Please try again"},
    {"CmdDialog", u8"连接失败：", u8"Connection failed:"},
    {"CmdDialog", u8"连接成功：", u8"Connected successfully:"},
    {"CmdDialog", u8"断开连接", u8"Disconnect"},
    {"CmdDialog", u8"连接已断开", u8"Connection disconnected"},
    {"CmdDialog", u8"查询版本失败，请重试", u8"Failed to query version. Please try again"},
    {"CmdDialog", u8"警告!", u8"Warning!"},
    {"CmdDialog", u8"未收到回复消息!", u8"No response received!"},
    {"CmdDialog", u8"提示!", u8"Tips!"},
    {"CmdDialog", u8"程序下载成功，请重新上电!",
     u8"Program downloaded successfully. Please power cycle the device!"},
    {"CmdDialog", u8"声呐无响应", u8"The sonar is not responding"},
    {"CmdDialog", u8"与声呐的连接已恢复", u8"The connection to the sonar is restored"},
    {"ConnectToSonar", u8" 连接声呐", u8" Connect Sonar"},
    {"ConnectToSonar", u8"连接中", u8"Connecting"},
    {"ConnectToSonar", u8"搜索中", u8"Searching"},
    {"ConnectToSonar", u8"停止", u8"Stop Search"},
    {"ConnectToSonar", u8"查找", u8"Search"},
    {"ConnectToSonar", u8"连接", u8"Connect"},
    {"ConnectToSonar", u8"警告：", u8"Warning:"},
    {"ConnectToSonar", u8"ip 地址格式错误,例如：192.168.1.100",
     u8"The ip address format is incorrect, for example: 192.168.1.100"},
    {"CppInformationCenter", u8"已连接", u8"Connected"},
    {"CppInformationCenter", u8"连接中", u8"Connecting"},
    {"CppInformationCenter", u8"未连接", u8"Disconnect"},
    {"CppInformationCenter", u8"点击连接声纳", u8"Connect Sonar"},
    {"FileRead", u8"回放数据失败：", u8"Failed to replay data:"},
    {"FileRead", u8"内存不足", u8"not enough memory"},
    {"FileRead", u8"文件在回放中变短了", u8"the file became shorter during the replay"},
    {"FileSave", u8"保存数据：", u8"Save data:"},
    {"FileSave", u8"保存数据完成", u8"The data is saved"},
    {"FileSave", u8"保存数据失败：", u8"Failed to save data:"},
    {"FileSave", u8"录制跟不上数据流，已丢失 %1 个数据包",
     u8"The recording cannot keep up with the data stream: %1 packets were lost"},
    {"FileSave", u8"录制", u8"Recording"},
    // A count: looked up without one, the English catalogue gives its first form (tst_filesave
    // checks the forms for one and for several).
    {"FileSave",
     u8"此处有 %n 个文件与本次录制的后续分段同名：%1\n只有录制增长到某个分段时，才会替换与之同名的"
     u8"文件（每 500 MiB 开始一个新分段），录制未到达的文件保持不变。是否继续？",
     u8"There is %n file here under the name of one of this recording's later parts: %1\nIt is "
     u8"replaced only if the recording grows that far (a new part begins every 500 MiB); "
     u8"otherwise it stays as it is. Continue?"},
    {"FunctionBtn", u8"选择文件", u8"Choose File"},
    {"FunctionBtn", u8"DB文件 (*.DB)", u8"DB File (*.DB)"},
    {"FunctionBtn", u8"选择文件夹", u8"Choose Folder"},
    {"FunctionBtn", u8"断开", u8"Disconnect"},
    {"FunctionBtn", u8"停止", u8"Stop"},
    {"FunctionBtn", u8"连接", u8"Connect"},
    {"FunctionBtn", u8"启动", u8"Start"},
    {"FunctionBtn", u8"保存", u8"Save"},
    {"FunctionBtn", u8"回放", u8"Playback"},
    {"FunctionBtn", u8"设置", u8"Settings"},
    {"FunctionBtn", u8"网格", u8"Grid"},
    {"FunctionBtn", u8"无网格", u8"Gridless"},
    {"FunctionBtn", u8"色板", u8"Color Pattern"},
    {"GammaSlider", u8"对比度", u8"Gamma"},
    {"GeneralSlider", u8"亮度", u8"Brightness"},
    {"MainWindow", u8"无法在 %1 上接收声呐数据：%2", u8"Cannot receive sonar data on %1: %2"},
    {"MainWindow", u8"没有可用的端口", u8"no free port"},
    {"MainWindow", u8"该地址不是本机的地址", u8"the address is not one of this computer's"},
    {"MainWindow", u8"地址无效", u8"the address is not valid"},
    {"MainWindow", u8"与声呐的连接已丢失", u8"The connection to the sonar was lost"},
    {"MainWindowFooter", u8"未连接", u8"Disconnected"},
    {"MainWindowFooter", u8"已连接", u8"Connected"},
    {"MainWindowFooter", u8"回放中", u8"Playing"},
    {"MainWindowFooter", u8"保存中", u8"Saving"},
    {"MainWindowFooter", u8"未设置该文件状态", u8"None"},
    {"MaxDistSlider", u8"距离", u8"Range"},
    {"MySettingBtnStyle", u8"设置", u8"set"},
    {"SearchDev", u8"提示", u8"Tips"},
    {"SearchDev", u8"断开并重新建立连接", u8"Disconnect and re-establish the connection"},
    {"SearchDev", u8"无网络", u8"No internet connection"},
    {"SearchDev", u8"连接超时：", u8"Connection timeout:"},
    {"SearchDev", u8"连接失败：", u8"Connection failed:"},
    {"Setting", u8" 设置", u8" Settings"},
    {"SonarConfig", u8"截取强度：", nullptr},
    {"SonarConfig", u8"点的大小：", nullptr},
    {"SonarStatusMsg", u8"帧号：", u8"Frame:"},
    {"SonarStatusMsg", u8"亮度：", u8"brightness:"},
    {"SonarStatusMsg", u8"对比度：", u8"gamma:"},
    {"SonarStatusMsg", u8"量程：", u8"Range:"},
    {"SonarStatusMsg", u8"步进：", u8"Step:"},
    {"SonarStatusMsg", u8"theta 角度：", u8"theta Angle:"},
    {"WorkModelSlider", u8"模式", u8"model"},
    {"WorkingParameters", u8"信号模式:", u8"Signal:"},
    {"WorkingParameters", u8"前进速度：", u8"Forward speed:"},
    {"WorkingParameters", u8"作用距离(m)：", u8"Range(m):"},
    {"WorkingParameters", u8"TVG高级:", u8"Manual TVG:"},
    {"WorkingParameters", u8"中心频率(kHz)：", u8"Frequency(kHz):"},
    {"WorkingParameters", u8"发射功率：", u8"Transmitting Power:"},
    {"WorkingParameters", u8"自动", u8"auto"},
    {"WorkingParameters", u8"工作周期(s/帧):", u8"Cycle(s/frame):"},
    {"WorkingParameters", u8"声速(m/s)：", u8"Acoustic Velocity(m/s):"},
    {"WorkingParameters", u8"扫描步进(°):", u8"Scan Step(°):"},
    {"WorkingParameters", u8"声呐静态IP：", u8"Fixed IP Setting:"},
    {"WorkingParameters", u8"此操作会修改声纳设备的ip！",
     u8"This operation will modify the ip of the sonar device!"},
    {"WorkingParameters", u8"ip地址格式错误，例如：192.168.1.100",
     u8"The ip address format is incorrect, for example: 192.168.1.100"},
    {"WorkingParameters", u8"读取版本号", u8"Version Information"},
    {"WorkingParameters", u8"读取", u8"get"},
    {"WorkingParameters", u8"程序升级", u8"Program Upgrade"},
    {"WorkingParameters", u8"升级", u8"up"},
};

using MessageKey = QPair<QString, QString>;

QSet<MessageKey> catalogueKeys()
{
    QSet<MessageKey> keys;
    for (const Message &m : catalogue)
        keys.insert({QString::fromLatin1(m.context), QString::fromUtf8(m.source)});
    return keys;
}

// The (context, source) pairs of a translation source file.
QList<MessageKey> messagesOf(const QString &tsPath)
{
    QList<MessageKey> messages;
    QFile file(tsPath);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            messages.append({context, xml.readElementText()});
    }
    return messages;
}

QString settingsValue()
{
    return QSettings(QStringLiteral("YourCompany"), QStringLiteral("YourApp"))
        .value(QStringLiteral("Language"), QStringLiteral("<none>"))
        .toString();
}

} // namespace

class TestLanguageSet : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_settingsDir;

    static QString translated(const char *context, const char *source)
    {
        return QCoreApplication::translate(context, source);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    }

    void init() { QSettings(QStringLiteral("YourCompany"), QStringLiteral("YourApp")).clear(); }

    // Each catalogue compiled into the program translates every message as the operator must
    // read it: English texts in the English one, the Chinese sources in the Chinese one.
    void catalogues_data()
    {
        QTest::addColumn<QString>("resource");
        QTest::addColumn<bool>("english");
        QTest::newRow("en_US") << ":/languages/vexa_en_US.qm" << true;
        QTest::newRow("zh_CN") << ":/languages/vexa_zh_CN.qm" << false;
    }
    void catalogues()
    {
        QFETCH(QString, resource);
        QFETCH(bool, english);
        QTranslator translator;
        QVERIFY(translator.load(resource));
        QCOMPARE(translator.isEmpty(), !english);
        // An empty catalogue installs, but the application reports it so.
        QCOMPARE(QCoreApplication::installTranslator(&translator), english);
        for (const Message &m : catalogue) {
            const QString expected = QString::fromUtf8(english && m.english ? m.english : m.source);
            QCOMPARE(translated(m.context, m.source), expected);
        }
        QCoreApplication::removeTranslator(&translator);
    }

    // The translation sources travel with the program and hold exactly the catalogue.
    void sourcesInResources_data()
    {
        QTest::addColumn<QString>("resource");
        QTest::newRow("en_US") << ":/languages/vexa_en_US.ts";
        QTest::newRow("zh_CN") << ":/languages/vexa_zh_CN.ts";
    }
    void sourcesInResources()
    {
        QFETCH(QString, resource);
        const QList<MessageKey> messages = messagesOf(resource);
        QCOMPARE(messages.size(), int(std::size(catalogue)));
        QCOMPARE(QSet<MessageKey>(messages.begin(), messages.end()), catalogueKeys());
    }

    // Whatever text the code passes through tr or qsTr is in the catalogue: a message missing
    // there would stay Chinese in the English interface.
    void codeHasNoMessageOutsideCatalogue()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString ts = dir.filePath(QStringLiteral("found.ts"));
        QProcess lupdate;
        lupdate.setWorkingDirectory(QStringLiteral(KORVESSA_SOURCE_DIR));
        lupdate.start(QStringLiteral(KORVESSA_LUPDATE),
                      {"-silent", "-locations", "none", "-extensions", "cpp,h,qml,js", "app",
                       "netClass", "processClass", "showClass", "qmlsource", "-ts", ts});
        QVERIFY(lupdate.waitForFinished(120000));
        QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
                 lupdate.readAllStandardError().constData());
        const QList<MessageKey> found = messagesOf(ts);
        QVERIFY2(!found.isEmpty(), "lupdate found no message at all");
        const QSet<MessageKey> known = catalogueKeys();
        QStringList unknown;
        for (const MessageKey &m : found) {
            if (!known.contains(m))
                unknown << m.first + QLatin1Char('/') + m.second;
        }
        QVERIFY2(unknown.isEmpty(), qPrintable(unknown.join(QLatin1String(", "))));
    }

    // What construction makes of the stored setting, and what it stores.
    void startsInStoredLanguage_data()
    {
        QTest::addColumn<QVariant>("stored"); // invalid: nothing stored
        QTest::addColumn<QString>("language");
        QTest::newRow("first start") << QVariant() << "zh_CN";
        QTest::newRow("English") << QVariant("en_US") << "en_US";
        QTest::newRow("Chinese") << QVariant("zh_CN") << "zh_CN";
        QTest::newRow("other code") << QVariant("fr_FR") << "zh_CN";
        QTest::newRow("capitals") << QVariant("EN_US") << "zh_CN";
        QTest::newRow("empty") << QVariant("") << "zh_CN";
        QTest::newRow("not text") << QVariant(7) << "zh_CN";
    }
    void startsInStoredLanguage()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, language);
        if (stored.isValid())
            QSettings(QStringLiteral("YourCompany"), QStringLiteral("YourApp"))
                .setValue("Language", stored);
        QQmlEngine engine;
        LanguageSet set(qApp, &engine);
        QCOMPARE(set.getCurrentLanguage(), language);
        QCOMPARE(settingsValue(), language);
        QCOMPARE(translated("CmdDialog", "断开连接"), language == "en_US"
                                                          ? QStringLiteral("Disconnect")
                                                          : QString::fromUtf8("断开连接"));
    }

    // Switching at run time retranslates the front end's bindings and the back end's texts,
    // and stores the choice; an unknown code keeps the language and stores it again.
    void switchesAtRunTime()
    {
        QQmlEngine engine;
        auto set = std::make_unique<LanguageSet>(qApp, &engine);
        QQmlComponent component(&engine);
        // qsTr's context is the file's name.
        component.setData("import QtQuick\nText { text: qsTr(\"启动\") }\n",
                          QUrl(QStringLiteral("qrc:/test/FunctionBtn.qml")));
        std::unique_ptr<QObject> text(component.create());
        QVERIFY2(text, qPrintable(component.errorString()));
        QCOMPARE(text->property("text").toString(), QString::fromUtf8("启动"));

        struct Step
        {
            const char *code;
            const char *language;
            const char *qmlText;
            const char *tip;
        };
        const Step steps[] = {
            {"en_US", "en_US", "Start", "Connection failed:"},
            {"de_DE", "en_US", "Start", "Connection failed:"},
            {"", "en_US", "Start", "Connection failed:"},
            {"zh_CN", "zh_CN", "启动", "连接失败："},
            {"xx", "zh_CN", "启动", "连接失败："},
        };
        for (const Step &s : steps) {
            set->setLanguage(QString::fromUtf8(s.code));
            QCOMPARE(set->getCurrentLanguage(), QString::fromLatin1(s.language));
            QCOMPARE(settingsValue(), QString::fromLatin1(s.language));
            QCOMPARE(text->property("text").toString(), QString::fromUtf8(s.qmlText));
            QCOMPARE(translated("SearchDev", "连接失败："), QString::fromUtf8(s.tip));
        }

        // However often it was switched, the translator leaves the application with the object.
        set->setLanguage("en_US");
        set.reset();
        QCOMPARE(translated("SearchDev", "连接失败："), QString::fromUtf8("连接失败："));
    }

    void languageList_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("index");
        QTest::newRow("zh_CN") << "zh_CN" << 0;
        QTest::newRow("en_US") << "en_US" << 1;
        QTest::newRow("capitals") << "EN_US" << 0;
        QTest::newRow("prefix") << "en" << 0;
        QTest::newRow("empty") << "" << 0;
    }
    void languageList()
    {
        QFETCH(QString, code);
        QFETCH(int, index);
        LanguageSet set(qApp, nullptr);
        QCOMPARE(set.getLanguageIdx(code), index);
    }

    void languageNames()
    {
        LanguageSet set(qApp, nullptr);
        QCOMPARE(set.getLanguageName(0), QStringLiteral("zh_CN"));
        QCOMPARE(set.getLanguageName(1), QStringLiteral("en_US"));
        QCOMPARE(set.getLanguageName(2), QStringLiteral("zh_CN"));
        QCOMPARE(set.getLanguageName(5), QStringLiteral("zh_CN"));
        QCOMPARE(set.getLanguageName(-1), QStringLiteral("zh_CN"));
    }

    // saveLanguageSetting and loadLanguageSetting work on the stored value alone.
    void saveAndLoad()
    {
        LanguageSet set(qApp, nullptr);
        set.setLanguage("en_US");
        QSettings(QStringLiteral("YourCompany"), QStringLiteral("YourApp"))
            .setValue("Language", "zh_CN");
        set.saveLanguageSetting();
        QCOMPARE(settingsValue(), QStringLiteral("en_US"));
        QSettings(QStringLiteral("YourCompany"), QStringLiteral("YourApp"))
            .setValue("Language", "zh_CN");
        set.loadLanguageSetting();
        QCOMPARE(set.getCurrentLanguage(), QStringLiteral("zh_CN"));
        QCOMPARE(translated("CmdDialog", "断开连接"), QString::fromUtf8("断开连接"));
    }
};

QTEST_MAIN(TestLanguageSet)
#include "tst_languageset.moc"
