#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QApplication;
class QQmlEngine;
class QTranslator;

// Switches the interface between Chinese (the language of the source texts) and English at
// run time with one translator, and keeps the operator's choice as the "Language" setting.
// GUI thread only.
class LanguageSet : public QObject
{
    Q_OBJECT

public:
    // Applies the stored language at once (translator installed, engine retranslated), so a
    // front end loaded afterwards comes up in it.
    LanguageSet(QApplication *application, QQmlEngine *engine);

    // "zh_CN" or "en_US"; any other code keeps the current language. In every case the
    // translator is installed, the engine retranslated and the current code stored.
    Q_INVOKABLE void setLanguage(QString language);
    // Index of the code in the language list (exact comparison), 0 when it is not there.
    Q_INVOKABLE int getLanguageIdx(QString language);
    // The code at idx, the first code when idx is out of range.
    Q_INVOKABLE QString getLanguageName(int idx);
    Q_INVOKABLE QString getCurrentLanguage();
    Q_INVOKABLE void saveLanguageSetting();
    Q_INVOKABLE void loadLanguageSetting();

private:
    QApplication *m_application;
    QQmlEngine *m_engine;
    QStringList m_languageList;
    QTranslator *m_translator;
    QString m_currentLanguage;
};
