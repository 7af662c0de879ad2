#include "app/LanguageSet.h"

#include <QApplication>
#include <QQmlEngine>
#include <QSettings>
#include <QTranslator>

namespace {

const QString settingKey = QStringLiteral("Language");
const QString chinese = QStringLiteral("zh_CN");
const QString english = QStringLiteral("en_US");

// The setting lives under names of its own, whatever organisation the application reports.
QSettings languageSettings()
{
    return QSettings(QStringLiteral("YourCompany"), QStringLiteral("YourApp"));
}

} // namespace

LanguageSet::LanguageSet(QApplication *application, QQmlEngine *engine)
    : m_application(application), m_engine(engine), m_languageList{chinese, english},
      m_translator(new QTranslator(this)), m_currentLanguage(chinese)
{
    loadLanguageSetting();
}

void LanguageSet::setLanguage(QString language)
{
    if (language == chinese) {
        // The source texts are Chinese: this catalogue holds no messages, and loading it
        // empties the translator.
        (void)m_translator->load(QStringLiteral(":/languages/vexa_zh_CN.qm"));
        m_currentLanguage = chinese;
    } else if (language == english) {
        (void)m_translator->load(QStringLiteral(":/languages/vexa_en_US.qm"));
        m_currentLanguage = english;
    }
    if (m_application)
        QCoreApplication::installTranslator(m_translator);
    if (m_engine)
        m_engine->retranslate();
    saveLanguageSetting();
}

int LanguageSet::getLanguageIdx(QString language)
{
    const int idx = m_languageList.indexOf(language);
    return idx < 0 ? 0 : idx;
}

QString LanguageSet::getLanguageName(int idx)
{
    if (idx < 0 || idx >= m_languageList.size())
        return m_languageList.first();
    return m_languageList.at(idx);
}

QString LanguageSet::getCurrentLanguage()
{
    return m_currentLanguage;
}

void LanguageSet::saveLanguageSetting()
{
    QSettings settings = languageSettings();
    settings.setValue(settingKey, m_currentLanguage);
}

void LanguageSet::loadLanguageSetting()
{
    const QSettings settings = languageSettings();
    setLanguage(settings.value(settingKey, chinese).toString());
}
