// The conversation list against the reference server: states, search, silent refresh failures, and
// updates by conversation id.
#include "APIClient.h"
#include "ConversationListModel.h"
#include "ReferenceServer.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <QCoro/QCoroTask>

using namespace std::chrono_literals;

class ConversationListModelTest : public QObject
{
    Q_OBJECT

    ReferenceServer m_server;
    std::unique_ptr<APIClient> m_api;
    QString m_token;

    std::unique_ptr<ConversationListModel> newModel(std::optional<QString> token)
    {
        auto model = std::make_unique<ConversationListModel>();
        model->setApiForTesting(m_api.get());
        model->setTokenProviderForTesting([token] { return token; });
        return model;
    }

    static void load(ConversationListModel &model, bool showLoading)
    {
        QCoro::waitFor(model.loadConversations(showLoading));
    }

    static int rowOf(const ConversationListModel &model, const QString &name)
    {
        for (int i = 0; i < model.rowCount(); ++i) {
            if (model.index(i).data(ConversationListModel::DisplayNameRole).toString() == name)
                return i;
        }
        return -1;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        m_api = std::make_unique<APIClient>(m_server.serverUrl());
        const auto signIn = m_server.demoSignIns().first(); // Анна Смирнова
        const auto answer = QCoro::waitFor(m_api->login(signIn.email, signIn.password));
        QVERIFY(answer.ok() && answer.value().token);
        m_token = *answer.value().token;
    }

    void showingLoadsThenLists()
    {
        auto model = newModel(m_token);
        QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy finished(model.get(), &ConversationListModel::loadFinished);
        model->setActive(true);
        QCOMPARE(model->state(), ConversationListModel::State::Loading);
        QVERIFY(finished.wait(10000));
        QCOMPARE(model->state(), ConversationListModel::State::List);
        QVERIFY(model->count() >= 6);
        QCOMPARE(model->count(), model->totalCount());

        const int boris = rowOf(*model, QStringLiteral("Борис Иванов"));
        QVERIFY(boris >= 0);
        const QVariantMap c = model->conversationAt(boris);
        QCOMPARE(c.value("participant").toMap().value("name").toString(), QStringLiteral("Борис"));
        QCOMPARE(c.value("friendshipStatus").toString(), QStringLiteral("friend"));
        QVERIFY(c.value("lastMessage").toMap().contains("content"));
        QVERIFY(model->index(boris).data(ConversationListModel::AvatarUrlRole).toUrl().isValid());
        QVERIFY(!model->index(boris).data(ConversationListModel::TimeRole).toString().isEmpty());
        model->setActive(false);
    }

    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expectedName");
        QTest::newRow("cyrillic, other case") << QStringLiteral("бОр") << QStringLiteral("Борис Иванов");
        QTest::newRow("last name") << QStringLiteral("ИВАНОВ") << QStringLiteral("Борис Иванов");
        QTest::newRow("username") << QStringLiteral("sofia") << QStringLiteral("Софья Волкова");
    }
    void search()
    {
        QFETCH(QString, text);
        QFETCH(QString, expectedName);
        auto model = newModel(m_token);
        QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        load(*model, true);
        const int total = model->count();
        model->setSearchText(text);
        QVERIFY(rowOf(*model, expectedName) >= 0);
        QVERIFY(model->count() < total);
        // A search that matches nothing shows no rows, not the empty state.
        model->setSearchText(QStringLiteral("zzz-nothing"));
        QCOMPARE(model->count(), 0);
        QCOMPARE(model->state(), ConversationListModel::State::List);
        model->setSearchText(QString());
        QCOMPARE(model->count(), total);
    }

    void searchFindsLastMessageText()
    {
        auto model = newModel(m_token);
        load(*model, true);
        const QVariantMap first = model->conversationAt(0);
        const QString content = first.value("lastMessage").toMap().value("content").toString();
        QVERIFY(content.size() >= 6);
        model->setSearchText(content.mid(2, 4).toUpper());
        QVERIFY(model->count() >= 1);
        bool found = false;
        for (int i = 0; i < model->count(); ++i)
            found |= model->conversationAt(i).value("id") == first.value("id");
        QVERIFY(found);
    }

    // Signed out, the same state says "Token not found" in both languages (tst_MessagesListView).
    void serverRefusalShownOnlyWithoutList()
    {
        auto model = newModel(QStringLiteral("not-a-valid-token"));
        load(*model, true);
        QCOMPARE(model->state(), ConversationListModel::State::Error);
        QVERIFY(!model->errorMessage().isEmpty());
    }

    // A new member without friends or messages: the empty state, not an error.
    void memberWithoutConversationsIsEmpty()
    {
        ReferenceServer server;
        server.setDemo(false);
        QCOMPARE(server.runCommand({"--add-member", "new@example.test", "pw", "Новый участник"}), 0);
        QVERIFY2(server.start(), qPrintable(server.error()));
        APIClient api(server.serverUrl());
        const auto answer = QCoro::waitFor(api.login(QStringLiteral("new@example.test"), QStringLiteral("pw")));
        QVERIFY(answer.ok() && answer.value().token);
        auto model = newModel(*answer.value().token);
        model->setApiForTesting(&api);
        load(*model, true);
        QCOMPARE(model->state(), ConversationListModel::State::Empty);
        QCOMPARE(model->errorMessage(), QString());
        QCOMPARE(model->count(), 0);
    }

    void unchangedRefreshTouchesNoRow()
    {
        auto model = newModel(m_token);
        QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        load(*model, true);
        QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
        QSignalSpy reset(model.get(), &QAbstractItemModel::modelReset);
        load(*model, false);
        QCOMPARE(inserted.size() + removed.size() + changed.size() + reset.size(), 0);
    }

    // Runs last: it stops the server.
    void refreshFailureKeepsTheList()
    {
        auto model = newModel(m_token);
        load(*model, true);
        const int rows = model->count();
        QVERIFY(rows > 0);
        m_api->setDeadlineForTesting(300ms);
        m_server.stop();
        QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
        load(*model, false);
        QCOMPARE(model->state(), ConversationListModel::State::List);
        QCOMPARE(model->errorMessage(), QString());
        QCOMPARE(model->count(), rows);
        QCOMPARE(changed.size(), 0);

        // Without a list the same failure is shown.
        auto fresh = newModel(m_token);
        load(*fresh, true);
        QCOMPARE(fresh->state(), ConversationListModel::State::Error);
        QVERIFY(!fresh->errorMessage().isEmpty());
    }
};

QTEST_GUILESS_MAIN(ConversationListModelTest)
#include "tst_conversationlistmodel.moc"
