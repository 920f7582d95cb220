// Two demo members chat through the reference server on 127.0.0.1: text and a file both ways, the
// conversation list and unread counts follow, uploads and the wait before a send, and failed sends.
#include "APIClient.h"
#include "ChatController.h"
#include "ConversationListModel.h"
#include "Diagnostics.h"
#include "ReferenceServer.h"
#include "TestHttpServer.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <QCoro/QCoroTask>

using namespace std::chrono_literals;

namespace {

struct Member {
    QString token;
    QString id;
};

QCoro::Task<> nothing()
{
    co_return;
}

} // namespace

class MessagingEndToEndTest : public QObject
{
    Q_OBJECT

    ReferenceServer m_server;
    std::unique_ptr<APIClient> m_api;
    Member m_anna;
    Member m_boris;
    QString m_oliverId; // talked with Anna before, but is no friend: sends to him fail
    QTemporaryDir m_files;
    QStringList m_log;
    int m_unreadRefreshes = 0;

    std::unique_ptr<ChatController> chat(const Member &me, const QString &peerId,
                                         std::function<std::optional<QString>()> token = {})
    {
        auto c = std::make_unique<ChatController>();
        c->setApiForTesting(m_api.get());
        const QString t = me.token;
        c->setTokenProviderForTesting(token ? token : [t]() -> std::optional<QString> { return t; });
        c->setUnreadRefreshForTesting([this] {
            ++m_unreadRefreshes;
            return nothing();
        });
        c->setIntervalsForTesting(10ms, 10ms);
        c->setPeer({{"id", peerId}, {"name", "Peer"}});
        return c;
    }

    QString writeFile(const QString &name, qint64 size)
    {
        QFile f(m_files.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(QByteArray(size, 'x')) == size ? f.fileName() : QString();
    }

    bool logged(const QString &line) const { return m_log.contains(line); }
    bool loggedStart(const QString &prefix) const
    {
        return std::any_of(m_log.begin(), m_log.end(), [&](const QString &l) { return l.startsWith(prefix); });
    }

    Member signIn(int index)
    {
        const auto s = m_server.demoSignIns().at(index);
        const auto answer = QCoro::waitFor(m_api->login(s.email, s.password));
        if (!answer.ok() || !answer.value().token || !answer.value().user)
            return {};
        return {*answer.value().token, answer.value().user->id};
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        m_api = std::make_unique<APIClient>(m_server.serverUrl());
        m_anna = signIn(0);
        m_boris = signIn(1);
        QVERIFY(!m_anna.token.isEmpty() && !m_boris.token.isEmpty());
        const auto list = QCoro::waitFor(m_api->getConversations(m_anna.token));
        QVERIFY(list.ok());
        for (const Conversation &c : *list.value().conversations) {
            if (c.participant.username == QStringLiteral("oliver"))
                m_oliverId = c.participant.id;
        }
        QVERIFY(!m_oliverId.isEmpty());
        setDiagnosticsSink([this](const QString &line) { m_log.append(line); });
    }

    void cleanupTestCase() { setDiagnosticsSink({}); }

    void init() { m_log.clear(); }

    void exchangeTextAndFile()
    {
        auto anna = chat(m_anna, m_boris.id);
        QAbstractItemModelTester tester(anna->messages(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        const int refreshesBefore = m_unreadRefreshes;
        QCoro::waitFor(anna->loadMessages(true));
        QVERIFY(!anna->isLoading());
        const int shown = anna->messages()->count();
        QVERIFY(shown >= 120);
        QCOMPARE(m_unreadRefreshes, refreshesBefore + 1);
        QVERIFY(logged("[ChatView] Loading messages for friend.id: " + m_boris.id));
        QVERIFY(logged(QStringLiteral("[ChatView] Loaded %1 messages").arg(shown)));
        const Message &first = anna->messages()->messages().first();
        const QString firstLine = "[ChatView] Message: id=" + first.id + ", isMine=" + (first.isMine.value_or(false) ? "true" : "false")
            + ", senderId=" + first.senderId + ", content=" + first.content.left(30) + "...";
        QVERIFY(logged(firstLine));

        // An unchanged poll writes every line again (that it keeps every row is the chat screen's test in tests/qml).
        m_log.clear();
        QCoro::waitFor(anna->loadMessages(false));
        QCOMPARE(m_log.size(), shown + 2);
        QCOMPARE(m_log.at(1), QStringLiteral("[ChatView] Loaded %1 messages").arg(shown));
        QCOMPARE(m_log.at(2), firstLine);

        // Text.
        anna->setNewMessage(QStringLiteral("  Привет, Борис! 👋\n"));
        QSignalSpy sent(anna.get(), &ChatController::sendFinished);
        anna->sendMessage();
        QCOMPARE(anna->newMessage(), QString());
        QVERIFY(anna->isSending());
        QVERIFY(sent.wait(10000));
        QCOMPARE(sent.first().first().toBool(), true);
        QVERIFY(!anna->isSending());
        QCOMPARE(anna->messages()->count(), shown + 1);
        QCOMPARE(anna->messages()->messages().last().content, QStringLiteral("Привет, Борис! 👋"));
        QVERIFY(logged("[ChatView] Sending message: content='Привет, Борис! 👋', attachmentUrl=nil, attachmentType=nil"));

        // A file, sent with an empty composer while it is still uploading: the send waits for it.
        QSignalSpy uploaded(anna.get(), &ChatController::uploadFinished);
        anna->attachPath(writeFile("notes.txt", 200000));
        QCOMPARE(::toString(anna->attachedFile()->uploadStatus), QStringLiteral("uploading"));
        QCOMPARE(anna->attachedFile()->mimeType, QStringLiteral("text/plain"));
        anna->sendMessage();
        QVERIFY(logged("[ChatView] File is still uploading, waiting..."));
        QVERIFY(anna->isSending());
        QVERIFY(sent.wait(10000));
        QCOMPARE(sent.last().first().toBool(), true);
        QCOMPARE(uploaded.size(), 1);
        QVERIFY(!anna->attachedFile());
        const QString url = anna->messages()->messages().last().attachmentUrl.value_or(QString());
        QVERIFY(!url.isEmpty());
        QVERIFY(logged("[ChatView] ✅ File uploaded successfully: " + url));
        QVERIFY(logged("[ChatView] ✅ Token found"));
        QVERIFY(logged("[ChatView] Sending message: content='📎 notes.txt', attachmentUrl=" + url + ", attachmentType=text/plain"));

        // No line carries any part of a token.
        for (const QString &line : std::as_const(m_log))
            QVERIFY2(!line.contains(m_anna.token.left(8)), qPrintable(line));

        // Boris sees both, the file as a download card.
        auto boris = chat(m_boris, m_anna.id);
        QCoro::waitFor(boris->loadMessages(true));
        const auto *model = boris->messages();
        const QModelIndex textRow = model->index(model->count() - 2);
        const QModelIndex fileRow = model->index(model->count() - 1);
        QCOMPARE(textRow.data(MessageListModel::TextRole).toString(), QStringLiteral("Привет, Борис! 👋"));
        QCOMPARE(textRow.data(MessageListModel::IsMineRole).toBool(), false);
        QVERIFY(QTime::fromString(textRow.data(MessageListModel::TimeRole).toString(), "HH:mm").isValid());
        QCOMPARE(fileRow.data(MessageListModel::CardKindRole).toString(), QStringLiteral("download"));
        QCOMPARE(fileRow.data(MessageListModel::CardUrlRole).toString(), url);
        QCOMPARE(fileRow.data(MessageListModel::CardNameRole).toString(), QStringLiteral("notes.txt"));
        QCOMPARE(fileRow.data(MessageListModel::TextRole).toString(), QString());

        // Boris answers; Anna's next poll adds that row (how rows are merged is tst_messagelistmodel's).
        boris->setNewMessage(QStringLiteral("Получил, спасибо"));
        QSignalSpy borisSent(boris.get(), &ChatController::sendFinished);
        boris->sendMessage();
        QVERIFY(borisSent.wait(10000));
        QCoro::waitFor(anna->loadMessages(false));
        QCOMPARE(anna->messages()->count(), shown + 3);
        QCOMPARE(anna->messages()->messages().last().content, QStringLiteral("Получил, спасибо"));
        // Boris has read Anna's messages by now.
        QVERIFY(anna->messages()->messages().at(anna->messages()->count() - 2).isRead.value_or(false));
    }

    std::unique_ptr<ConversationListModel> conversationList(const QString &token, APIClient *api = nullptr)
    {
        auto list = std::make_unique<ConversationListModel>();
        list->setApiForTesting(api ? api : m_api.get());
        list->setTokenProviderForTesting([token]() -> std::optional<QString> { return token; });
        QCoro::waitFor(list->loadConversations(true));
        return list;
    }

    // Unread counts, order and search follow the server; an unchanged refresh touches no row.
    void conversationListFollows()
    {
        auto list = conversationList(m_anna.token);
        QAbstractItemModelTester tester(list.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto rowOf = [&](const QString &participantId) { // -1 when not shown
            const auto found = list->match(list->index(0), ConversationListModel::ParticipantIdRole, participantId, 1, Qt::MatchExactly);
            return found.value(0).row();
        };
        const auto unreadOfBoris = [&] {
            return list->index(rowOf(m_boris.id)).data(ConversationListModel::UnreadCountRole).toLongLong();
        };
        // Anna has read everything from Boris (that a fetch marks messages read is tst_server_messaging's).
        QCoro::waitFor(chat(m_anna, m_boris.id)->loadMessages(true));
        QCoro::waitFor(list->loadConversations(false));
        QCOMPARE(unreadOfBoris(), 0);
        {
            QSignalSpy changes(list.get(), &QAbstractItemModel::dataChanged);
            QSignalSpy inserts(list.get(), &QAbstractItemModel::rowsInserted);
            QSignalSpy removes(list.get(), &QAbstractItemModel::rowsRemoved);
            QSignalSpy resets(list.get(), &QAbstractItemModel::modelReset);
            QCoro::waitFor(list->loadConversations(false));
            QCOMPARE(changes.size() + inserts.size() + removes.size() + resets.size(), 0);
        }

        auto boris = chat(m_boris, m_anna.id);
        QSignalSpy sent(boris.get(), &ChatController::sendFinished);
        for (const QString &text : {QStringLiteral("Раз"), QStringLiteral("Два")}) {
            boris->setNewMessage(text);
            boris->sendMessage();
            QVERIFY(sent.wait(10000));
        }
        QCoro::waitFor(list->loadConversations(false));
        QCOMPARE(rowOf(m_boris.id), 0);
        QCOMPARE(unreadOfBoris(), 2);
        QCOMPARE(list->index(0).data(ConversationListModel::LastMessageRole).toString(), QStringLiteral("Два"));

        // Search: display name, last name, user name and last message, in any case.
        const int total = list->count();
        for (const auto &[text, participant] : {std::pair{QStringLiteral("бОр"), m_boris.id}, {QStringLiteral("ИВАНОВ"), m_boris.id},
                                                {QStringLiteral("oliv"), m_oliverId}, {QStringLiteral("дВА"), m_boris.id}}) {
            list->setSearchText(text);
            QVERIFY2(rowOf(participant) >= 0 && list->count() < total, qPrintable(text));
        }
        // No match is an empty list, not the empty state.
        list->setSearchText(QStringLiteral("zzz-nothing"));
        QCOMPARE(list->count(), 0);
        QCOMPARE(list->state(), ConversationListModel::State::List);
        list->setSearchText(QString());
        QCOMPARE(list->count(), total);

        // A refused refresh keeps the list silently; without a list the refusal is shown.
        list->setTokenProviderForTesting([]() -> std::optional<QString> { return QStringLiteral("not-a-session"); });
        QSignalSpy changes(list.get(), &QAbstractItemModel::dataChanged);
        QCoro::waitFor(list->loadConversations(false));
        QCOMPARE(list->count(), total);
        QCOMPARE(list->errorMessage(), QString());
        QCOMPARE(changes.size(), 0);
        auto refused = conversationList(QStringLiteral("not-a-session"));
        QCOMPARE(refused->state(), ConversationListModel::State::Error);
        QVERIFY(!refused->errorMessage().isEmpty());
    }

    // A member without friends or messages sees the empty state, not an error.
    void memberWithoutConversationsIsEmpty()
    {
        ReferenceServer server;
        server.setDemo(false);
        QCOMPARE(server.runCommand({"--add-member", "new@example.test", "pw", "Новый участник"}), 0);
        QVERIFY2(server.start(), qPrintable(server.error()));
        APIClient api(server.serverUrl());
        const auto answer = QCoro::waitFor(api.login(QStringLiteral("new@example.test"), QStringLiteral("pw")));
        QVERIFY(answer.ok() && answer.value().token);
        const auto list = conversationList(*answer.value().token, &api);
        QCOMPARE(list->state(), ConversationListModel::State::Empty);
        QCOMPARE(list->errorMessage(), QString());
    }

    void fileSizeLimit_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("error");
        QTest::newRow("one byte over, ru") << qint64(10485761) << "ru" << false << QStringLiteral("Файл слишком большой (макс. 10 МБ)");
        QTest::newRow("one byte over, en") << qint64(10485761) << "en" << false << QStringLiteral("File too large (max 10 MB)");
        QTest::newRow("exactly 10 MB") << qint64(10485760) << "ru" << true << QString();
    }
    void fileSizeLimit()
    {
        QFETCH(qint64, size);
        QFETCH(QString, language);
        QFETCH(bool, accepted);
        QFETCH(QString, error);
        auto anna = chat(m_anna, m_boris.id);
        anna->setLanguage(language);
        QSignalSpy uploaded(anna.get(), &ChatController::uploadFinished);
        anna->attachPath(writeFile("big.bin", size));
        if (accepted) {
            // Only the limit is checked here; the upload of exactly 10 MB is tst_apiclient's.
            QCOMPARE(::toString(anna->attachedFile()->uploadStatus), QStringLiteral("uploading"));
            return;
        }
        // Refused on the spot: no request.
        QCOMPARE(::toString(anna->attachedFile()->uploadStatus), QStringLiteral("failed"));
        QCOMPARE(anna->attachedFile()->uploadError, std::optional<QString>(error));
        QCOMPARE(anna->attachedFile()->mimeType, QStringLiteral("application/octet-stream"));
        QVERIFY(logged(QStringLiteral("[ChatView] ❌ File too large: %1 bytes").arg(size)));
        QVERIFY(!loggedStart("[ChatView] 🚀"));
        QCoreApplication::processEvents();
        QCOMPARE(uploaded.size(), 0);
        // A failed attachment blocks the send and keeps the text.
        anna->setNewMessage(QStringLiteral("see file"));
        QSignalSpy sent(anna.get(), &ChatController::sendFinished);
        anna->sendMessage();
        QVERIFY(logged("[ChatView] File upload failed, cannot send"));
        QCOMPARE(anna->newMessage(), QStringLiteral("see file"));
        QVERIFY(!anna->isSending());
        QCOMPARE(sent.size(), 0);
    }

    void missingFileMakesNoAttachment()
    {
        auto anna = chat(m_anna, m_boris.id);
        anna->attachPath(m_files.filePath("nope.txt"));
        QVERIFY(!anna->attachedFile());
        QVERIFY(loggedStart("[ChatView] ❌ Error getting file attributes: "));
    }

    // A send waiting for an upload that is refused or never answers sends nothing and keeps text and
    // attachment (a successful wait is exchangeTextAndFile's); a retry uploads, and a late answer for a
    // removed attachment lands nowhere.
    void sendWaitsForFailedUpload_data()
    {
        QTest::addColumn<QString>("upload");
        QTest::newRow("refused") << "refused";
        QTest::newRow("never answers") << "never answers";
    }
    void sendWaitsForFailedUpload()
    {
        QFETCH(QString, upload);
        QString token = upload == "refused" ? QStringLiteral("expired-token") : m_anna.token;
        auto anna = chat(m_anna, m_boris.id, [&token]() -> std::optional<QString> { return token; });
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        APIClient silentApi(QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()));
        silentApi.setDeadlineForTesting(5s);
        if (upload == "never answers") {
            anna->setApiForTesting(&silentApi);
            anna->setIntervalsForTesting(10ms, 1ms);
        }
        QSignalSpy uploaded(anna.get(), &ChatController::uploadFinished);
        anna->attachPath(writeFile("wait.pdf", 200000));
        anna->setNewMessage(QStringLiteral("with a file"));
        QSignalSpy sent(anna.get(), &ChatController::sendFinished);
        anna->sendMessage();
        QVERIFY(logged("[ChatView] File is still uploading, waiting..."));
        QVERIFY(anna->isSending());
        QCOMPARE(anna->newMessage(), QStringLiteral("with a file"));
        QVERIFY(sent.wait(20000));
        QCOMPARE(sent.first().first().toBool(), false);
        QVERIFY(logged("[ChatView] File upload failed or timed out"));
        QVERIFY(!loggedStart("[ChatView] Sending message"));
        QCOMPARE(anna->newMessage(), QStringLiteral("with a file"));
        QVERIFY(!anna->isSending());
        if (upload == "refused") {
            QCOMPARE(::toString(anna->attachedFile()->uploadStatus), QStringLiteral("failed"));
            QVERIFY(!anna->attachedFile()->uploadError.value_or(QString()).isEmpty());
            token = m_anna.token;
            anna->retryUpload();
            QCOMPARE(::toString(anna->attachedFile()->uploadStatus), QStringLiteral("uploading"));
            QVERIFY(!anna->attachedFile()->uploadError);
            QVERIFY(uploaded.wait(10000));
            QCOMPARE(::toString(anna->attachedFile()->uploadStatus), QStringLiteral("uploaded"));
            // Text and file go together: the text is the message.
            anna->sendMessage();
            QVERIFY(sent.wait(10000));
            QVERIFY(loggedStart("[ChatView] Sending message: content='with a file', attachmentUrl=http"));
        } else {
            QCOMPARE(::toString(anna->attachedFile()->uploadStatus), QStringLiteral("uploading"));
            anna->removeAttachment();
            QVERIFY(uploaded.wait(20000));
            QVERIFY(!anna->attachedFile());
        }
    }

    // A send the server refuses (Oliver is no friend) shows the notice, and text typed meanwhile wins over
    // the lost message (that an empty composer gets it back is the chat screen's test in tests/qml).
    void failedSendKeepsNewerText()
    {
        auto anna = chat(m_anna, m_oliverId);
        anna->setLanguage(QStringLiteral("en"));
        QCoro::waitFor(anna->loadMessages(true));
        const int shown = anna->messages()->count();
        anna->setNewMessage(QStringLiteral("Hello Oliver"));
        QSignalSpy sent(anna.get(), &ChatController::sendFinished);
        anna->sendMessage();
        QCOMPARE(anna->newMessage(), QString());
        anna->setNewMessage(QStringLiteral("second thought"));
        QVERIFY(sent.wait(10000));
        QCOMPARE(sent.first().first().toBool(), false);
        QCOMPARE(anna->newMessage(), QStringLiteral("second thought"));
        QCOMPARE(anna->notice(), QStringLiteral("Message not sent"));
        QVERIFY(!anna->isSending());
        QCOMPARE(anna->messages()->count(), shown);
        QVERIFY(loggedStart("Error sending message: "));
    }

    // A send without a token is the Qt Quick test's (tests/qml, ChatView: test_failedSendNotice).
    void noTokenAtLoad()
    {
        auto anna = chat(m_anna, m_boris.id, []() -> std::optional<QString> { return std::nullopt; });
        QCoro::waitFor(anna->loadMessages(true));
        QVERIFY(logged("[ChatView] No token available"));
        QVERIFY(!anna->isLoading());
    }

    // Closing the chat while its load, upload and a send waiting for it are on the wire: their answers
    // land nowhere (a plain send's is tst_comfort's sendingAtQuit).
    void closedWhileRequestsRun()
    {
        auto anna = chat(m_anna, m_boris.id);
        anna->setActive(true);
        anna->attachPath(writeFile("late.txt", 5000));
        anna->setNewMessage(QStringLiteral("sent by a closed chat"));
        anna->sendMessage(); // waits for the upload
        anna.reset();
        // Later answers on the same connection come after the abandoned ones.
        for (int i = 0; i < 3; ++i)
            QVERIFY(QCoro::waitFor(m_api->getConversations(m_anna.token)).ok());
    }

    // A poll and a retry overlap and the older answer comes last: the newer list stays.
    void olderAnswerArrivingLastIsDropped()
    {
        TestHttpServer server;
        QVERIFY(server.listen());
        int requests = 0;
        server.responder = [&requests](const RecordedRequest &) {
            QByteArray messages = R"({"id":"a","content":"one","senderId":"u1"},{"id":"b","content":"two","senderId":"u2"})";
            CannedResponse answer;
            answer.held = ++requests == 1;
            if (!answer.held)
                messages += R"(,{"id":"c","content":"three","senderId":"u1"})";
            answer.body = R"({"success":true,"messages":[)" + messages + "]}";
            return answer;
        };
        APIClient api(server.url());
        auto anna = chat(m_anna, QStringLiteral("peer"));
        anna->setApiForTesting(&api);
        auto older = anna->loadMessages(false);
        QTRY_COMPARE(server.heldCount(), 1);
        QCoro::waitFor(anna->loadMessages(false));
        QCOMPARE(anna->messages()->count(), 3);
        server.release();
        QCoro::waitFor(std::move(older));
        QCOMPARE(anna->messages()->count(), 3);
        QVERIFY(!logged("[ChatView] Loaded 2 messages"));
    }

    // Showing the chat loads once and then polls; hiding it stops the polls.
    void pollingStartsAndStops()
    {
        auto anna = chat(m_anna, m_boris.id);
        QSignalSpy loads(anna.get(), &ChatController::loadFinished);
        anna->setActive(true);
        QVERIFY(anna->isLoading());
        QTRY_VERIFY_WITH_TIMEOUT(loads.size() >= 3, 20000);
        QVERIFY(anna->isPolling());
        anna->setActive(false);
        QVERIFY(!anna->isPolling() || loads.wait(10000));
        const int after = int(loads.size());
        QVERIFY(!anna->isPolling());
        QTest::qWait(100);
        QCOMPARE(int(loads.size()), after);
    }
};

QTEST_GUILESS_MAIN(MessagingEndToEndTest)
#include "tst_messaging_e2e.moc"
