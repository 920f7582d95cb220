#include "LanguageManager.h"

#include "Preferences.h"

#include <QJSEngine>

LanguageManager::LanguageManager(QObject *parent)
    : QObject(parent)
{
    const QString stored = Preferences::stringValue(QString::fromLatin1(settingsKey));
    if (stored == u"en") {
        m_language = AppLanguage::En;
    } else if (stored == u"ru") {
        m_language = AppLanguage::Ru;
    } else {
        m_language = AppLanguage::Ru;
        Preferences::setValue(QString::fromLatin1(settingsKey), QStringLiteral("ru"));
    }
}

LanguageManager &LanguageManager::shared()
{
    static LanguageManager *instance = new LanguageManager(nullptr);
    return *instance;
}

LanguageManager *LanguageManager::create(QQmlEngine *, QJSEngine *)
{
    QJSEngine::setObjectOwnership(&shared(), QJSEngine::CppOwnership);
    return &shared();
}

QString LanguageManager::code(AppLanguage language)
{
    return language == AppLanguage::En ? QStringLiteral("en") : QStringLiteral("ru");
}

QString LanguageManager::languageCode() const
{
    return code(m_language);
}

void LanguageManager::setLanguage(AppLanguage language)
{
    const bool changed = language != m_language;
    m_language = language;
    Preferences::setValue(QString::fromLatin1(settingsKey), code(language));
    if (changed)
        emit languageChanged();
}

void LanguageManager::setLanguageCode(const QString &code)
{
    if (code == u"en")
        setLanguage(AppLanguage::En);
    else if (code == u"ru")
        setLanguage(AppLanguage::Ru);
}

QString LanguageManager::text(const QString &ru, const QString &en) const
{
    return m_language == AppLanguage::En ? en : ru;
}
