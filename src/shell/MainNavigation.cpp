#include "MainNavigation.h"

#include "Preferences.h"

namespace {
const char *const collapsedKey = "isSidebarCollapsed";
}

MainNavigation::MainNavigation(QObject *parent)
    : QObject(parent)
{
    const QVariant stored = Preferences::store().value(collapsedKey);
    // Only a real boolean counts; anything else stored there reads as "not collapsed".
    if (stored.typeId() == QMetaType::Bool)
        m_collapsed = stored.toBool();
    else if (stored.typeId() == QMetaType::QString)
        m_collapsed = stored.toString() == QLatin1String("true");
}

QString MainNavigation::selectedFriendId() const
{
    return m_friend.value(QStringLiteral("id")).toString();
}

QVariantMap MainNavigation::chatFriend() const
{
    if (!m_conversation.isEmpty())
        return friendFromConversation(m_conversation);
    return m_friend;
}

void MainNavigation::setSidebarCollapsed(bool collapsed)
{
    if (m_collapsed == collapsed)
        return;
    m_collapsed = collapsed;
    Preferences::store().setValue(collapsedKey, collapsed);
    emit isSidebarCollapsedChanged();
}

void MainNavigation::selectSection(MainMenuItem item)
{
    // An open chat survives a visit to the messages button but not a trip to another section.
    if (item != Messages)
        clearChat();
    setItem(item);
}

void MainNavigation::openProfile()
{
    clearChat();
    setItem(Profile);
}

void MainNavigation::selectConversation(const QVariantMap &conversation)
{
    m_conversation = conversation;
    m_friend.clear();
    emit chatChanged();
}

void MainNavigation::selectFriend(const QVariantMap &friendEntry)
{
    m_conversation.clear();
    m_friend = friendEntry;
    emit chatChanged();
    setItem(Messages);
}

void MainNavigation::navigateToFriends()
{
    setItem(Friends);
}

void MainNavigation::closeConversation()
{
    if (m_conversation.isEmpty())
        return;
    m_conversation.clear();
    emit chatChanged();
}

void MainNavigation::closeFriendChat()
{
    if (m_friend.isEmpty())
        return;
    m_friend.clear();
    emit chatChanged();
}

QVariantMap MainNavigation::friendFromConversation(const QVariantMap &conversation)
{
    QVariantMap result;
    const QVariantMap participant = conversation.value(QStringLiteral("participant")).toMap();
    for (const char *key : {"id", "numericId", "name", "lastName", "username", "avatar"}) {
        const QString k = QString::fromLatin1(key);
        if (participant.contains(k))
            result.insert(k, participant.value(k));
    }
    result.insert(QStringLiteral("unreadCount"), conversation.value(QStringLiteral("unreadCount")));
    return result;
}

void MainNavigation::setItem(MainMenuItem item)
{
    if (m_item == item)
        return;
    m_item = item;
    emit selectedMenuItemChanged();
}

void MainNavigation::clearChat()
{
    if (m_conversation.isEmpty() && m_friend.isEmpty())
        return;
    m_conversation.clear();
    m_friend.clear();
    emit chatChanged();
}
