#pragma once

#include <QObject>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

// Navigation state of the signed-in window: the current section, the open conversation or friend chat,
// and whether the middle column is collapsed (the only part that outlives the window).
class MainNavigation : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(MainMenuItem selectedMenuItem READ selectedMenuItem NOTIFY selectedMenuItemChanged)
    Q_PROPERTY(QVariantMap selectedConversation READ selectedConversation NOTIFY chatChanged)
    Q_PROPERTY(QVariantMap selectedFriendForChat READ selectedFriendForChat NOTIFY chatChanged)
    Q_PROPERTY(QString selectedFriendId READ selectedFriendId NOTIFY chatChanged)
    Q_PROPERTY(QVariantMap chatFriend READ chatFriend NOTIFY chatChanged)
    Q_PROPERTY(bool isSidebarCollapsed READ isSidebarCollapsed WRITE setSidebarCollapsed NOTIFY isSidebarCollapsedChanged)

public:
    enum MainMenuItem { Messages, Friends, Settings, Profile };
    Q_ENUM(MainMenuItem)

    explicit MainNavigation(QObject *parent = nullptr);

    MainMenuItem selectedMenuItem() const { return m_item; }
    QVariantMap selectedConversation() const { return m_conversation; }
    QVariantMap selectedFriendForChat() const { return m_friend; }
    QString selectedFriendId() const;
    // The friend whose chat the right column shows: from the conversation first, else the friend.
    QVariantMap chatFriend() const;
    bool isSidebarCollapsed() const { return m_collapsed; }
    void setSidebarCollapsed(bool collapsed);

    Q_INVOKABLE void selectSection(MainMenuItem item);
    Q_INVOKABLE void openProfile();
    Q_INVOKABLE void selectConversation(const QVariantMap &conversation);
    Q_INVOKABLE void selectFriend(const QVariantMap &friendEntry);
    Q_INVOKABLE void navigateToFriends();
    Q_INVOKABLE void closeConversation();
    Q_INVOKABLE void closeFriendChat();
    Q_INVOKABLE void toggleSidebar() { setSidebarCollapsed(!m_collapsed); }

    // The friend a chat is opened for when a conversation is picked: participant fields plus the
    // conversation's unread count.
    static QVariantMap friendFromConversation(const QVariantMap &conversation);

signals:
    void selectedMenuItemChanged();
    void chatChanged();
    void isSidebarCollapsedChanged();

private:
    void setItem(MainMenuItem item);
    void clearChat();

    MainMenuItem m_item = Messages;
    QVariantMap m_conversation;
    QVariantMap m_friend;
    bool m_collapsed = false;
};
