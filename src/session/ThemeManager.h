#pragma once

#include "AppPalette.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

enum class ThemeMode { Light, Dark };

// The chosen theme ("light" or "dark"), persisted under "themeMode". `isDark` follows `mode` one
// turn of the event loop later, when the theme has been applied to every open window.
class ThemeManager : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString mode READ modeCode WRITE setModeCode NOTIFY modeChanged)
    Q_PROPERTY(bool isDark READ isDark NOTIFY isDarkChanged)

public:
    static constexpr auto settingsKey = "themeMode";

    // No default argument: QML would otherwise build its own instance instead of calling create().
    explicit ThemeManager(QObject *parent);

    static ThemeManager &shared();
    static ThemeManager *create(QQmlEngine *, QJSEngine *);

    ThemeMode mode() const { return m_mode; }
    void setMode(ThemeMode mode);
    QString modeCode() const;
    // Unknown codes are ignored.
    void setModeCode(const QString &code);
    bool isDark() const { return m_isDark; }
    const AppPalette &palette() const { return m_isDark ? AppPalette::dark() : AppPalette::light(); }

    // "Светлая"/"Light", "Тёмная"/"Dark"; English only for language "en".
    Q_INVOKABLE static QString displayName(const QString &mode, const QString &language);
    // Symbol name of the mode: "sun.max.fill" or "moon.fill".
    Q_INVOKABLE static QString iconName(const QString &mode);

    static QString code(ThemeMode mode);

signals:
    void modeChanged();
    void isDarkChanged();

private:
    void applyTheme();

    ThemeMode m_mode = ThemeMode::Light;
    bool m_isDark = false;
};
