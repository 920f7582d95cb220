#include "Preferences.h"

#include <QJSEngine>
#include <QSettings>

namespace {

QSettings settings()
{
    return Preferences::store();
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

QString Preferences::profile()
{
    static const QString name = [] {
        QString value = qEnvironmentVariable("THEORVANE_PROFILE");
        // Only a plain name: it ends up in a file name and a keyring account.
        value.removeIf([](QChar c) { return !c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_'); });
        return value;
    }();
    return name;
}

QSettings Preferences::store()
{
    const QString name = profile();
    return QSettings(QStringLiteral("TheOrvane"),
                     name.isEmpty() ? QStringLiteral("Teams") : QStringLiteral("Teams-") + name);
}

QString Preferences::tokenAccount()
{
    const QString base = QStringLiteral("com.theorvane.teams.authToken");
    const QString name = profile();
    return name.isEmpty() ? base : base + QLatin1Char('.') + name;
}
