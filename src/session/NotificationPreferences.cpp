#include "NotificationPreferences.h"

#include "Preferences.h"

#include <QJSEngine>

NotificationPreferences &NotificationPreferences::shared()
{
    static NotificationPreferences *instance = new NotificationPreferences;
    return *instance;
}

NotificationPreferences *NotificationPreferences::create(QQmlEngine *, QJSEngine *)
{
    QJSEngine::setObjectOwnership(&shared(), QJSEngine::CppOwnership);
    return &shared();
}

bool NotificationPreferences::value(const char *key) const
{
    return Preferences::boolValue(QString::fromLatin1(key), true);
}

void NotificationPreferences::setValue(const char *key, bool on)
{
    if (value(key) == on)
        return;
    Preferences::setValue(QString::fromLatin1(key), on);
    emit changed();
}
