#include "AppColors.h"

#include "ColorFromHex.h"
#include "ThemeManager.h"

#include <QJSEngine>

AppColors::AppColors(QObject *parent)
    : QObject(parent)
{
    connect(&ThemeManager::shared(), &ThemeManager::isDarkChanged, this, &AppColors::changed);
}

AppColors &AppColors::shared()
{
    static AppColors *instance = new AppColors;
    return *instance;
}

AppColors *AppColors::create(QQmlEngine *, QJSEngine *)
{
    QJSEngine::setObjectOwnership(&shared(), QJSEngine::CppOwnership);
    return &shared();
}

AppPalette AppColors::current() const
{
    return ThemeManager::shared().palette();
}

QColor AppColors::colorFromHex(const QString &hex)
{
    return ::colorFromHex(hex);
}
