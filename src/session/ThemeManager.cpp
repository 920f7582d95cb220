#include "ThemeManager.h"

#include "Preferences.h"

#include <QGuiApplication>
#include <QJSEngine>
#include <QPalette>
#include <QQuickWindow>
#include <QWindow>

namespace {

QPalette windowPalette(const AppPalette &c)
{
    QPalette p;
    p.setColor(QPalette::Window, c.background);
    p.setColor(QPalette::WindowText, c.foreground);
    p.setColor(QPalette::Base, c.card);
    p.setColor(QPalette::AlternateBase, c.muted);
    p.setColor(QPalette::Text, c.foreground);
    p.setColor(QPalette::PlaceholderText, c.mutedForeground);
    p.setColor(QPalette::Button, c.secondary);
    p.setColor(QPalette::ButtonText, c.secondaryForeground);
    p.setColor(QPalette::Highlight, c.primary);
    p.setColor(QPalette::HighlightedText, c.primaryForeground);
    p.setColor(QPalette::ToolTipBase, c.popover);
    p.setColor(QPalette::ToolTipText, c.popoverForeground);
    p.setColor(QPalette::Mid, c.border);
    p.setColor(QPalette::Light, c.card);
    p.setColor(QPalette::Dark, c.border);
    p.setColor(QPalette::Shadow, c.ring);
    p.setColor(QPalette::Disabled, QPalette::Text, c.mutedForeground);
    p.setColor(QPalette::Disabled, QPalette::WindowText, c.mutedForeground);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, c.mutedForeground);
    return p;
}

} // namespace

ThemeManager::ThemeManager(QObject *parent)
    : QObject(parent)
{
    // A stored value other than "dark" means light; it stays stored until the member picks a theme.
    const QString stored = Preferences::stringValue(QString::fromLatin1(settingsKey), QStringLiteral("light"));
    m_mode = stored == u"dark" ? ThemeMode::Dark : ThemeMode::Light;
    m_isDark = m_mode == ThemeMode::Dark;
    applyTheme();
}

ThemeManager &ThemeManager::shared()
{
    static ThemeManager *instance = new ThemeManager(nullptr);
    return *instance;
}

ThemeManager *ThemeManager::create(QQmlEngine *, QJSEngine *)
{
    QJSEngine::setObjectOwnership(&shared(), QJSEngine::CppOwnership);
    return &shared();
}

QString ThemeManager::code(ThemeMode mode)
{
    return mode == ThemeMode::Dark ? QStringLiteral("dark") : QStringLiteral("light");
}

QString ThemeManager::modeCode() const
{
    return code(m_mode);
}

void ThemeManager::setMode(ThemeMode mode)
{
    const bool changed = mode != m_mode;
    m_mode = mode;
    Preferences::setValue(QString::fromLatin1(settingsKey), code(mode));
    if (changed)
        emit modeChanged();
    applyTheme();
}

void ThemeManager::setModeCode(const QString &code)
{
    if (code == u"dark")
        setMode(ThemeMode::Dark);
    else if (code == u"light")
        setMode(ThemeMode::Light);
}

QString ThemeManager::displayName(const QString &mode, const QString &language)
{
    const bool en = language == u"en";
    if (mode == u"dark")
        return en ? QStringLiteral("Dark") : QStringLiteral("Тёмная");
    return en ? QStringLiteral("Light") : QStringLiteral("Светлая");
}

QString ThemeManager::iconName(const QString &mode)
{
    return mode == u"dark" ? QStringLiteral("moon.fill") : QStringLiteral("sun.max.fill");
}

void ThemeManager::applyTheme()
{
    // Deferred so that windows created in the same turn (the first window at start) are styled too;
    // the context object drops the call if the manager is gone.
    QMetaObject::invokeMethod(
        this,
        [this] {
            const bool dark = m_mode == ThemeMode::Dark;
            if (dark != m_isDark) {
                m_isDark = dark;
                emit isDarkChanged();
            }
            if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
                return;
            const AppPalette &colors = palette();
            QGuiApplication::setPalette(windowPalette(colors));
            const auto windows = QGuiApplication::topLevelWindows();
            for (QWindow *window : windows) {
                if (auto *quick = qobject_cast<QQuickWindow *>(window))
                    quick->setColor(colors.background);
            }
        },
        Qt::QueuedConnection);
}
