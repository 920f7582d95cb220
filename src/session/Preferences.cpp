#include "Preferences.h"

#include <QJSEngine>
#include <QSettings>

namespace {

QSettings settings()
{
    return QSettings(QStringLiteral("TheOrvane"), QStringLiteral("Teams"));
}

} // namespace

Preferences::Preferences(QObject *parent)
    : QObject(parent)
{
}

Preferences &Preferences::shared()
{
    static Preferences *instance = new Preferences;
    return *instance;
}

Preferences *Preferences::create(QQmlEngine *, QJSEngine *)
{
    QJSEngine::setObjectOwnership(&shared(), QJSEngine::CppOwnership);
    return &shared();
}

bool Preferences::contains(const QString &key)
{
    return settings().contains(key);
}

QString Preferences::stringValue(const QString &key, const QString &defaultValue)
{
    const QVariant v = settings().value(key);
    if (!v.isValid() || v.typeId() != QMetaType::QString)
        return defaultValue;
    return v.toString();
}

bool Preferences::boolValue(const QString &key, bool defaultValue)
{
    const QVariant v = settings().value(key);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    const QString s = v.toString().trimmed().toLower();
    if (s == u"true" || s == u"1")
        return true;
    if (s == u"false" || s == u"0")
        return false;
    return defaultValue;
}

double Preferences::numberValue(const QString &key, double defaultValue, double minimum, double maximum)
{
    const QVariant v = settings().value(key);
    if (!v.isValid())
        return defaultValue;
    bool ok = false;
    const double d = v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
    if (!ok || !(d >= minimum && d <= maximum))
        return defaultValue;
    return d;
}

void Preferences::setValue(const QString &key, const QVariant &value)
{
    auto s = settings();
    s.setValue(key, value);
    s.sync();
}
