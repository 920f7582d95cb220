#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

// Which friend the outgoing call window is calling and in which state, for the friends list and
// the chat header.
class CallStateManager : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString activeCallFriendId READ activeCallFriendId WRITE setActiveCallFriendId
                   NOTIFY activeCallFriendIdChanged)
    Q_PROPERTY(CallState callState READ callState WRITE setCallState NOTIFY callStateChanged)

public:
    enum CallState { None, Connecting, Ringing, Active, NoAnswer, Declined, Ended, Busy };
    Q_ENUM(CallState)

    explicit CallStateManager(QObject *parent);
    static CallStateManager *shared();
    static CallStateManager *create(QQmlEngine *, QJSEngine *);

    QString activeCallFriendId() const { return m_friendId; }
    void setActiveCallFriendId(const QString &id);
    CallState callState() const { return m_state; }
    void setCallState(CallState state);

    // True while that friend's call is connecting, ringing or active.
    Q_INVOKABLE bool isCallingFriend(const QString &friendId) const;
    Q_INVOKABLE static QString text(CallState state, bool english);
    // "%02d:%02d", minutes not wrapped at 60.
    Q_INVOKABLE static QString formatDuration(int seconds);

signals:
    void activeCallFriendIdChanged();
    void callStateChanged();

private:
    QString m_friendId;
    CallState m_state = None;
};
