#pragma once

#include <QObject>
#include <QSettings>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

// Per-user preferences (QSettings, organisation "TheOrvane", application "Teams"). Readers take a
// default and return it for a missing or malformed stored value, so a hand-edited file never
// produces a surprising state.
class Preferences : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    static Preferences &shared();
    static Preferences *create(QQmlEngine *, QJSEngine *);

    Q_INVOKABLE static bool contains(const QString &key);
    Q_INVOKABLE static QString stringValue(const QString &key, const QString &defaultValue = {});
    Q_INVOKABLE static bool boolValue(const QString &key, bool defaultValue);
    // Numbers outside [minimum, maximum] or not numbers at all give the default.
    Q_INVOKABLE static double numberValue(const QString &key, double defaultValue, double minimum, double maximum);
    Q_INVOKABLE static void setValue(const QString &key, const QVariant &value);

    // The preferences store of this run. THEORVANE_PROFILE (development only) gives a second
    // instance on the same desktop its own preferences ("Teams-<profile>") and its own stored
    // token, so two demo members can run side by side.
    static QSettings store();
    static QString profile();
    static QString tokenAccount();

private:
    explicit Preferences(QObject *parent = nullptr);
};
