// Friends derived from conversations, the search, the page states and the load rules; the page itself
// signed in to the reference server.
#include "APIClient.h"
#include "FriendsListModel.h"
#include "LanguageManager.h"
#include "ServerConfig.h"

#include <QAbstractItemModelTester>
#include <QCoro/QCoroTask>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#ifdef HAVE_REFERENCE_SERVER
#include "AuthManager.h"
#include "ReferenceServer.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Orvane_PeoplePlugin)
Q_IMPORT_QML_PLUGIN(Orvane_SessionPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_UiPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_CallsPlugin)
#endif

namespace {

constexpr int waitMs = 20000; // bound for HTTP and keyring round trips, never a timing assertion

Conversation conversation(const QString &id, FriendshipStatus status, std::optional<QString> name,
                          std::optional<QString> lastName = std::nullopt,
                          std::optional<QString> username = std::nullopt, qint64 unread = 0)
{
    Conversation c;
    c.id = QStringLiteral("c-") + id;
    c.participant.id = id;
    c.participant.name = std::move(name);
    c.participant.lastName = std::move(lastName);
    c.participant.username = std::move(username);
    c.unreadCount = unread;
    c.friendshipStatus = status;
    return c;
}

QStringList ids(const QList<Friend> &friends)
{
    QStringList result;
    for (const Friend &f : friends)
        result << f.id;
    return result;
}

QStringList modelIds(const FriendsListModel &model)
{
    QStringList result;
    for (int row = 0; row < model.rowCount(); ++row)
        result << model.index(row).data(FriendsListModel::IdRole).toString();
    return result;
}

// A mix of every friendship state, in the server's order.
QList<Conversation> sample()
{
    return {
        conversation("u1", FriendshipStatus::Friend, "Анна", "Смирнова", "anna", 3),
        conversation("u2", FriendshipStatus::PendingIncoming, "Emily", "Clarke", "emily"),
        conversation("u3", FriendshipStatus::Friend, "John", "Carter", "jcarter"),
        conversation("u4", FriendshipStatus::PendingOutgoing, "Дмитрий", std::nullopt, "dmitry"),
        conversation("u5", FriendshipStatus::None, "Oliver", "Brown", "oliver"),
        conversation("u6", FriendshipStatus::Friend, std::nullopt, std::nullopt, std::nullopt),
        conversation("u7", FriendshipStatus::Friend, "Борис", "", "boris_i"),
    };
}

#ifdef HAVE_REFERENCE_SERVER
// Items made by views and repeaters have a visual parent only, so walk the item tree.
QQuickItem *findItem(QQuickItem *root, const QString &name)
{
    if (!root || root->objectName() == name)
        return root;
    for (QQuickItem *child : root->childItems()) {
        if (QQuickItem *found = findItem(child, name))
            return found;
    }
    return nullptr;
}
#endif

} // namespace

class TestFriendsList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
#ifdef HAVE_REFERENCE_SERVER
    ReferenceServer m_server;
    bool m_serverUp = false;
    QString m_token;
#endif

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
#ifdef HAVE_REFERENCE_SERVER
        m_serverUp = m_server.start();
        if (m_serverUp) {
            APIClient api(m_server.serverUrl());
            const auto signIn = m_server.demoSignIns().first();
            const auto answer = QCoro::waitFor(api.login(signIn.email, signIn.password));
            QVERIFY(answer.ok() && answer.value().token);
            m_token = *answer.value().token;
        }
#endif
    }

    void init() { LanguageManager::shared().setLanguage(AppLanguage::Ru); }

    void onlyFriendsInServerOrder()
    {
        const QList<Friend> friends = FriendsListModel::friendsOf(sample());
        QCOMPARE(ids(friends), (QStringList{"u1", "u3", "u6", "u7"}));
        // Each entry carries the participant's fields and the conversation's unread count.
        QCOMPARE(friends[0].name, std::optional<QString>("Анна"));
        QCOMPARE(friends[0].username, std::optional<QString>("anna"));
        QCOMPARE(friends[0].unreadCount, std::optional<qint64>(3));
        QCOMPARE(friends[2].displayName(), QStringLiteral("Unknown"));
        QCOMPARE(friends[3].displayName(), QStringLiteral("Борис"));
    }

    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty keeps all") << "" << QStringList{"u1", "u3", "u6", "u7"};
        QTest::newRow("Cyrillic lower case") << "анна" << QStringList{"u1"};
        QTest::newRow("Cyrillic upper case") << "СМИРН" << QStringList{"u1"};
        QTest::newRow("part of the last name") << "carter" << QStringList{"u3"};
        QTest::newRow("first and last name joined") << "n c" << QStringList{"u3"};
        QTest::newRow("user name not in the display name") << "JCART" << QStringList{"u3"};
        QTest::newRow("user name beside a Cyrillic name") << "boris_" << QStringList{"u7"};
        QTest::newRow("no name, no user name") << "unkn" << QStringList{"u6"};
        QTest::newRow("pending members are never found") << "emily" << QStringList{};
        QTest::newRow("not trimmed") << " анна" << QStringList{};
        QTest::newRow("no match") << "zzz" << QStringList{};
    }

    void search()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QCOMPARE(ids(FriendsListModel::filteredFriends(sample(), text)), expected);

        FriendsListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setConversations(sample());
        model.setSearchText(text);
        QCOMPARE(modelIds(model), expected);
        QCOMPARE(model.count(), expected.size());
        QCOMPARE(model.state(), expected.isEmpty() ? FriendsListModel::Empty : FriendsListModel::List);
    }

    void rowsAndTheHostsMap()
    {
        FriendsListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QList<Conversation> list = sample();
        list[0].participant.numericId = 42;
        list[0].participant.avatar = QStringLiteral("a.png");
        model.setConversations(list);

        const QModelIndex first = model.index(0);
        QCOMPARE(first.data(FriendsListModel::DisplayNameRole).toString(), QStringLiteral("Анна Смирнова"));
        QCOMPARE(first.data(FriendsListModel::AvatarUrlRole).toUrl(), QUrl(ServerConfig::current().contentURL + "a.png"));
        const QModelIndex unknown = model.index(2);
        QCOMPARE(unknown.data(FriendsListModel::HasUsernameRole).toBool(), false);
        QVERIFY(!unknown.data(FriendsListModel::UsernameRole).isValid());

        const QVariantMap map = model.friendAt(0);
        QCOMPARE(map.value("numericId").toLongLong(), 42);
        QCOMPARE(map.value("lastName").toString(), QStringLiteral("Смирнова"));
        QCOMPARE(map.value("unreadCount").toLongLong(), 3);
        // Absent fields stay absent rather than turning into empty strings.
        QVERIFY(!model.friendAt(2).contains("username"));
        QVERIFY(!model.friendAt(2).contains("name"));
        QVERIFY(model.friendAt(99).isEmpty());
    }

#ifdef HAVE_REFERENCE_SERVER
    void loadsExactlyTheMembersFriends()
    {
        QVERIFY(m_serverUp);
        APIClient api(m_server.serverUrl());
        FriendsListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setApiClient(&api);
        const QString token = m_token;
        model.setTokenProvider([token] { return std::optional<QString>(token); });

        auto task = model.loadConversations(true);
        // Nothing listed yet: the page shows progress.
        QVERIFY(model.isLoading());
        QCOMPARE(model.state(), FriendsListModel::Loading);
        QCoro::waitFor(std::move(task));
        QVERIFY(!model.isLoading());
        QCOMPARE(model.errorMessage(), QString());

        // The demo member's friends (everyone else there is pending or no relation), in server order.
        const auto raw = QCoro::waitFor(api.getConversations(token));
        QVERIFY(raw.ok());
        QStringList serverOrder;
        for (const Conversation &c : *raw.value().conversations) {
            if (c.friendshipStatus == FriendshipStatus::Friend)
                serverOrder << *c.participant.username;
        }
        QStringList listed;
        for (int row = 0; row < model.rowCount(); ++row)
            listed << model.index(row).data(FriendsListModel::UsernameRole).toString();
        QCOMPARE(listed, serverOrder);
        QCOMPARE(listed.size(), 4);
        QCOMPARE(model.state(), FriendsListModel::List);

        // A failed reload keeps the list and shows no error.
        model.setTokenProvider([] { return std::optional<QString>(QStringLiteral("not-a-session")); });
        QCoro::waitFor(model.loadConversations(true));
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.state(), FriendsListModel::List);
        QVERIFY(!model.isLoading());
    }

    void serverRefusalWithNothingListedIsShown()
    {
        QVERIFY(m_serverUp);
        APIClient api(m_server.serverUrl());
        FriendsListModel model;
        model.setApiClient(&api);
        model.setTokenProvider([] { return std::optional<QString>(QStringLiteral("not-a-session")); });
        QCoro::waitFor(model.loadConversations(true));
        QCOMPARE(model.state(), FriendsListModel::Error);
        QVERIFY(!model.errorMessage().isEmpty());
        QVERIFY(!model.isLoading());
    }

    void aCancelledLoadWritesNothing()
    {
        QVERIFY(m_serverUp);
        APIClient api(m_server.serverUrl());
        FriendsListModel model;
        model.setApiClient(&api);
        const QString token = m_token;
        model.setTokenProvider([token] { return std::optional<QString>(token); });
        auto task = model.loadConversations(true);
        model.cancel();
        QVERIFY(!model.isLoading());
        QCoro::waitFor(std::move(task));
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.state(), FriendsListModel::Empty);
    }

    // The page on the shared session: rows show the user names; chat and call hand the host the friend as a map.
    void pageHandsTheFriendToTheHost()
    {
        QVERIFY(m_serverUp);
        AuthManager &auth = AuthManager::shared();
        QTRY_VERIFY_WITH_TIMEOUT(!auth.isCheckingToken(), waitMs);
        const auto signIn = m_server.demoSignIns().first();
        QVERIFY(QCoro::waitFor(auth.loginAsync(signIn.email, signIn.password)));

        QQuickStyle::setStyle(QStringLiteral("Basic"));
        QQmlEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        QQmlComponent component(&engine);
        component.setData("import QtQuick\nimport Orvane.People\nFriendsListView { width: 900; height: 700 }", QUrl("inline.qml"));
        QQuickWindow window;
        window.resize(900, 700);
        std::unique_ptr<QQuickItem> page(qobject_cast<QQuickItem *>(component.create()));
        QVERIFY2(page, qPrintable(component.errorString()));
        page->setParentItem(window.contentItem());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *model = page->property("model").value<FriendsListModel *>();
        QVERIFY(model);
        QTRY_COMPARE_WITH_TIMEOUT(model->state(), FriendsListModel::List, waitMs);

        QStringList shown;
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString id = model->index(row).data(FriendsListModel::IdRole).toString();
            QQuickItem *username = findItem(findItem(page.get(), "friendRow_" + id), QStringLiteral("usernameText"));
            QVERIFY(username);
            shown << username->property("text").toString();
        }
        shown.sort();
        QCOMPARE(shown, (QStringList{"@boris", "@john", "@maria", "@sofia"}));

        const QString firstId = model->index(0).data(FriendsListModel::IdRole).toString();
        QQuickItem *firstRow = findItem(page.get(), "friendRow_" + firstId);
        const auto click = [&](const char *button) {
            QQuickItem *item = findItem(firstRow, QString::fromLatin1(button));
            QVERIFY(item);
            QTest::mouseClick(&window, Qt::LeftButton, {}, item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
        };
        QSignalSpy selected(page.get(), SIGNAL(friendSelected(QVariant)));
        QSignalSpy call(page.get(), SIGNAL(callRequested(QVariant)));
        click("chatButton");
        QCOMPARE(selected.count(), 1);
        const QVariantMap chosen = selected.first().first().toMap();
        QCOMPARE(chosen.value("id").toString(), firstId);
        QVERIFY(chosen.contains("username") && chosen.contains("unreadCount"));
        click("callButton");
        QCOMPARE(call.count(), 1);
        QCOMPARE(call.first().first().toMap().value("id").toString(), firstId);
        auth.logout();
    }
#endif
};

QTEST_MAIN(TestFriendsList)
#include "tst_friendslist.moc"
