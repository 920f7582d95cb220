#include "MainNavigation.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
QVariantMap conversation(const QString &id, const QString &participantId)
{
    return {{"id", id},
            {"unreadCount", 3},
            {"participant", QVariantMap{{"id", participantId}, {"name", "Anna"}, {"lastName", "K"}}}};
}
} // namespace

class TestMainNavigation : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings().clear();
    }

    void messagesButtonKeepsOpenChat()
    {
        MainNavigation nav;
        nav.selectConversation(conversation("c1", "u1"));
        nav.selectSection(MainNavigation::Messages);
        QCOMPARE(nav.chatFriend().value("id").toString(), QStringLiteral("u1"));

        // Any other section closes the chat; coming back shows the placeholder.
        for (auto item : {MainNavigation::Friends, MainNavigation::Settings, MainNavigation::Profile}) {
            nav.selectConversation(conversation("c1", "u1"));
            nav.selectSection(item);
            QCOMPARE(nav.selectedMenuItem(), item);
            nav.selectSection(MainNavigation::Messages);
            QVERIFY(nav.chatFriend().isEmpty());
            QVERIFY(nav.selectedConversation().isEmpty());
        }
    }

    void friendChatFromFriendsPage()
    {
        MainNavigation nav;
        nav.selectConversation(conversation("c1", "u1"));
        nav.selectSection(MainNavigation::Friends);
        nav.selectFriend({{"id", "u2"}, {"name", "Boris"}});
        QCOMPARE(nav.selectedMenuItem(), MainNavigation::Messages);
        QVERIFY(nav.selectedConversation().isEmpty());
        QCOMPARE(nav.selectedFriendId(), QStringLiteral("u2"));
        QCOMPARE(nav.chatFriend().value("name").toString(), QStringLiteral("Boris"));

        // Picking a conversation replaces the friend chat.
        nav.selectConversation(conversation("c3", "u3"));
        QVERIFY(nav.selectedFriendForChat().isEmpty());
        QCOMPARE(nav.chatFriend().value("id").toString(), QStringLiteral("u3"));
        QCOMPARE(nav.chatFriend().value("unreadCount").toInt(), 3);
        QCOMPARE(nav.chatFriend().value("lastName").toString(), QStringLiteral("K"));
    }

    void avatarOpensProfileAndClearsChat()
    {
        MainNavigation nav;
        nav.selectFriend({{"id", "u2"}});
        QSignalSpy chat(&nav, &MainNavigation::chatChanged);
        nav.openProfile();
        QCOMPARE(nav.selectedMenuItem(), MainNavigation::Profile);
        QVERIFY(nav.chatFriend().isEmpty());
        QCOMPARE(chat.count(), 1);
    }

    void newMessageButtonGoesToFriends()
    {
        MainNavigation nav;
        nav.navigateToFriends();
        QCOMPARE(nav.selectedMenuItem(), MainNavigation::Friends);
    }

    void collapsedColumnSurvivesRestart()
    {
        {
            MainNavigation nav;
            QVERIFY(!nav.isSidebarCollapsed());
            nav.toggleSidebar();
            QVERIFY(nav.isSidebarCollapsed());
        }
        MainNavigation again;
        QVERIFY(again.isSidebarCollapsed());
        again.toggleSidebar();
        QCOMPARE(QSettings().value("isSidebarCollapsed").toBool(), false);
    }

    void strayStoredValueReadsAsNotCollapsed()
    {
        QSettings().setValue("isSidebarCollapsed", 42);
        QVERIFY(!MainNavigation().isSidebarCollapsed());
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("TheOrvane");
    QCoreApplication::setApplicationName("Teams");
    TestMainNavigation test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainnavigation.moc"
