#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

// The member's choices about desktop notifications and the tray, kept in Preferences. Read at every
// use, so a change on the settings page applies to the next notification.
//
// QML (singleton NotificationPreferences in Orvane.Session): enabled, showMessageText, sound,
// minimizeToTray (all on by default).
class NotificationPreferences : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY changed)
    Q_PROPERTY(bool showMessageText READ showMessageText WRITE setShowMessageText NOTIFY changed)
    Q_PROPERTY(bool sound READ sound WRITE setSound NOTIFY changed)
    Q_PROPERTY(bool minimizeToTray READ minimizeToTray WRITE setMinimizeToTray NOTIFY changed)

public:
    static constexpr auto enabledKey = "notificationsEnabled";
    static constexpr auto showMessageTextKey = "notificationsShowText";
    static constexpr auto soundKey = "notificationsSound";
    static constexpr auto minimizeToTrayKey = "minimizeToTray";

    static NotificationPreferences &shared();
    static NotificationPreferences *create(QQmlEngine *, QJSEngine *);

    bool enabled() const { return value(enabledKey); }
    void setEnabled(bool on) { setValue(enabledKey, on); }
    bool showMessageText() const { return value(showMessageTextKey); }
    void setShowMessageText(bool on) { setValue(showMessageTextKey, on); }
    bool sound() const { return value(soundKey); }
    void setSound(bool on) { setValue(soundKey, on); }
    bool minimizeToTray() const { return value(minimizeToTrayKey); }
    void setMinimizeToTray(bool on) { setValue(minimizeToTrayKey, on); }

signals:
    void changed();

private:
    explicit NotificationPreferences(QObject *parent = nullptr) : QObject(parent) {}
    bool value(const char *key) const;
    void setValue(const char *key, bool on);
};
