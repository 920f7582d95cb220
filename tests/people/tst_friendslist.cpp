// Friends derived from conversations, the search, the rows, and the load rules against the reference server.
#include "APIClient.h"
#include "FriendsListModel.h"
#include "LanguageManager.h"
#include "ServerConfig.h"

#include <QAbstractItemModelTester>
#include <QCoro/QCoroTask>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "ReferenceServer.h"

namespace {

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

} // namespace

class TestFriendsList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    ReferenceServer m_server;
    QString m_token;

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        APIClient api(m_server.serverUrl());
        const auto signIn = m_server.demoSignIns().first();
        const auto answer = QCoro::waitFor(api.login(signIn.email, signIn.password));
        QVERIFY(answer.ok() && answer.value().token);
        m_token = *answer.value().token;
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

    // A refused first load is shown; a cancelled load writes nothing; a refused reload keeps the list silently.
    void loadFailuresAndCancel()
    {
        APIClient api(m_server.serverUrl());
        FriendsListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setApiClient(&api);
        QString token = QStringLiteral("not-a-session");
        model.setTokenProvider([&token] { return std::optional<QString>(token); });
        QCoro::waitFor(model.loadConversations(true));
        QCOMPARE(model.state(), FriendsListModel::Error);
        QVERIFY(!model.errorMessage().isEmpty());

        token = m_token;
        auto cancelled = model.loadConversations(true);
        model.cancel();
        QVERIFY(!model.isLoading());
        QCoro::waitFor(std::move(cancelled));
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.state(), FriendsListModel::Empty);

        QCoro::waitFor(model.loadConversations(true));
        QCOMPARE(model.rowCount(), 4);
        token = QStringLiteral("not-a-session");
        QCoro::waitFor(model.loadConversations(true));
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.state(), FriendsListModel::List);
        QCOMPARE(model.errorMessage(), QString());
        QVERIFY(!model.isLoading());
    }
};

QTEST_MAIN(TestFriendsList)
#include "tst_friendslist.moc"
