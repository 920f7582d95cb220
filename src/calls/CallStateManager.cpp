#include "CallStateManager.h"

#include <QCoreApplication>
#include <QJSEngine>

CallStateManager::CallStateManager(QObject *parent)
    : QObject(parent)
{
}

CallStateManager *CallStateManager::shared()
{
    static CallStateManager *instance = new CallStateManager(QCoreApplication::instance());
    return instance;
}

CallStateManager *CallStateManager::create(QQmlEngine *, QJSEngine *)
{
    CallStateManager *instance = shared();
    QJSEngine::setObjectOwnership(instance, QJSEngine::CppOwnership);
    return instance;
}

void CallStateManager::setActiveCallFriendId(const QString &id)
{
    if (m_friendId == id)
        return;
    m_friendId = id;
    emit activeCallFriendIdChanged();
}

void CallStateManager::setCallState(CallState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit callStateChanged();
}

bool CallStateManager::isCallingFriend(const QString &friendId) const
{
    return !friendId.isEmpty() && m_friendId == friendId
        && (m_state == Connecting || m_state == Ringing || m_state == Active);
}

QString CallStateManager::text(CallState state, bool english)
{
    switch (state) {
    case None: return {};
    case Connecting: return english ? QStringLiteral("Connecting...") : QStringLiteral("Соединение...");
    case Ringing: return english ? QStringLiteral("Ringing...") : QStringLiteral("Вызов...");
    case Active: return english ? QStringLiteral("On call") : QStringLiteral("Разговор");
    case NoAnswer: return english ? QStringLiteral("No answer") : QStringLiteral("Не отвечает");
    case Declined: return english ? QStringLiteral("Declined") : QStringLiteral("Отклонён");
    case Ended: return english ? QStringLiteral("Ended") : QStringLiteral("Завершён");
    case Busy: return english ? QStringLiteral("Busy") : QStringLiteral("Занят");
    }
    return {};
}

QString CallStateManager::formatDuration(int seconds)
{
    seconds = std::max(0, seconds);
    return QString::asprintf("%02d:%02d", seconds / 60, seconds % 60);
}
