#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

enum class AppLanguage { Ru, En };

// The interface language ("ru" or "en"), persisted under "appLanguage".
// QML bindings pick texts with Lang.text(ru, en) (a QML singleton of this module) so that they
// re-evaluate when the language changes; C++ callers use text().
class LanguageManager : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString language READ languageCode WRITE setLanguageCode NOTIFY languageChanged)
    Q_PROPERTY(bool isEnglish READ isEnglish NOTIFY languageChanged)

public:
    static constexpr auto settingsKey = "appLanguage";

    // Reads (and on a missing or unknown value writes) the stored language.
    // No default argument: QML would otherwise build its own instance instead of calling create().
    explicit LanguageManager(QObject *parent);

    static LanguageManager &shared();
    static LanguageManager *create(QQmlEngine *, QJSEngine *);

    AppLanguage language() const { return m_language; }
    void setLanguage(AppLanguage language);

    QString languageCode() const;
    // Unknown codes are ignored.
    void setLanguageCode(const QString &code);
    bool isEnglish() const { return m_language == AppLanguage::En; }

    // The English text when the language is English, the Russian text otherwise.
    Q_INVOKABLE QString text(const QString &ru, const QString &en) const;

    static QString code(AppLanguage language);

signals:
    void languageChanged();

private:
    AppLanguage m_language = AppLanguage::Ru;
};
