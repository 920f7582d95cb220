#include "MainNavigation.h"
#include "Preferences.h"

#include <QSignalSpy>
#include <QTest>

// What the sections do to an open chat is checked through the window (tests/qml, AuthenticatedView); here, the
// chat's friend as the chat pane receives it, and the stored column state.
class TestMainNavigation : public QObject
{
    Q_OBJECT

private slots:
    void init() { Preferences::store().clear(); }

    void chatFriendFromEitherPage()
    {
        MainNavigation nav;
        nav.selectSection(MainNavigation::Friends);
        nav.selectFriend({{"id", "u2"}, {"name", "Boris"}});
        QCOMPARE(nav.selectedMenuItem(), MainNavigation::Messages);
        QCOMPARE(nav.selectedFriendId(), QStringLiteral("u2"));
        QCOMPARE(nav.chatFriend().value("name").toString(), QStringLiteral("Boris"));

        // A conversation replaces the friend chat; its participant and unread count make the friend.
        nav.selectConversation({{"id", "c3"}, {"unreadCount", 3},
                                {"participant", QVariantMap{{"id", "u3"}, {"name", "Anna"}, {"lastName", "K"}}}});
        QVERIFY(nav.selectedFriendForChat().isEmpty());
        QCOMPARE(nav.chatFriend(), (QVariantMap{{"id", "u3"}, {"name", "Anna"}, {"lastName", "K"}, {"unreadCount", 3}}));

        // The avatar opens the profile and closes the chat.
        QSignalSpy chat(&nav, &MainNavigation::chatChanged);
        nav.openProfile();
        QCOMPARE(nav.selectedMenuItem(), MainNavigation::Profile);
        QVERIFY(nav.chatFriend().isEmpty());
        QCOMPARE(chat.count(), 1);
    }

    // Collapsed survives a restart; a stray stored value reads as not collapsed.
    void collapsedColumnIsRemembered()
    {
        QVERIFY(!MainNavigation().isSidebarCollapsed());
        MainNavigation().toggleSidebar();
        QVERIFY(MainNavigation().isSidebarCollapsed());
        Preferences::store().setValue("isSidebarCollapsed", 42);
        QVERIFY(!MainNavigation().isSidebarCollapsed());
    }
};

QTEST_GUILESS_MAIN(TestMainNavigation)
#include "tst_mainnavigation.moc"
