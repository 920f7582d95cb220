#include "APIClient.h"
#include "AuthManager.h"
#include "IncomingCallPolling.h"
#include "LauncherBadge.h"
#include "TestHttpServer.h"
#include "TokenStore.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

namespace {

constexpr int waitMs = 20000; // generous bound for keyring and HTTP round trips; never a timing assertion

const QByteArray userJson = R"({"id":"u-1","numeric_id":7,"email":"anna@example.com","name":"Anna",)"
                            R"("username":"anna","avatar":"avatars/anna.png","email_verified":true})";

QByteArray authBody(bool success, const char *token, bool withUser, const char *error = nullptr)
{
    QByteArray body = "{\"success\":" + QByteArray(success ? "true" : "false");
    if (token)
        body += ",\"token\":\"" + QByteArray(token) + "\"";
    if (withUser)
        body += ",\"user\":" + userJson;
    if (error)
        body += ",\"error\":\"" + QByteArray(error) + "\"";
    return body + "}";
}

class FakeCallPoll : public IncomingCallPolling
{
public:
    void startPolling() override { running = true; }
    void stopPolling() override { running = false; }
    bool running = false;
};

// Listens on its own session-bus connection for the dock badge signal.
class BadgeListener : public QObject
{
    Q_OBJECT
public:
    BadgeListener()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("badge-listener")))
    {
        m_bus.connect(QString(), QString(), QString::fromLatin1(LauncherBadge::interfaceName), QStringLiteral("Update"),
                      this, SLOT(onUpdate(QDBusMessage)));
    }
    ~BadgeListener() override { QDBusConnection::disconnectFromBus(QStringLiteral("badge-listener")); }

    struct Update {
        QString appUri;
        QVariant count;
        bool visible = false;
    };
    QList<Update> updates;

private slots:
    void onUpdate(const QDBusMessage &message)
    {
        const auto args = message.arguments();
        const QVariantMap props = qdbus_cast<QVariantMap>(args.value(1));
        updates.append({args.value(0).toString(), props.value(QStringLiteral("count")),
                        props.value(QStringLiteral("count-visible")).toBool()});
    }

private:
    QDBusConnection m_bus;
};

} // namespace

// The sign-in state against a real HTTP server on 127.0.0.1 and the real Secret Service keyring of
// the test session.
class TestAuthManager : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<APIClient> m_api;
    CannedResponse m_loginAnswer, m_checkAnswer;
    qint64 m_unreadCount = 0;
    bool m_holdUnread = false; // unread answers wait for m_server->release()

    // Requests so far to addresses starting with prefix, of the given action when there is one.
    QList<RecordedRequest> sent(const char *prefix, const QString &action = {}) const
    {
        QList<RecordedRequest> result;
        for (const RecordedRequest &r : m_server->requests) {
            if (r.target.startsWith(prefix) && (action.isEmpty() || QJsonDocument::fromJson(r.body)["action"] == action))
                result << r;
        }
        return result;
    }
    int unreadRequests() const { return int(sent("/api/mobile/notifications").size()); }
    QByteArray unreadAuthorization() const
    {
        const auto unread = sent("/api/mobile/notifications");
        return unread.isEmpty() ? QByteArray() : unread.last().header("Authorization");
    }

    void putToken(std::optional<QString> token)
    {
        TokenStore store;
        if (token)
            store.save(*token);
        else
            store.remove();
        QTRY_VERIFY_WITH_TIMEOUT(store.isIdle(), waitMs);
    }

    // What a new run would read from the keyring.
    std::optional<QString> keyringToken()
    {
        TokenStore store;
        QSignalSpy loaded(&store, &TokenStore::loaded);
        store.load();
        if (!loaded.wait(waitMs))
            qFatal("keyring read did not finish");
        return store.token();
    }

    std::unique_ptr<AuthManager> startManager() { return std::make_unique<AuthManager>(m_api.get(), nullptr); }

    std::unique_ptr<AuthManager> signedIn()
    {
        m_loginAnswer = {200, authBody(true, "tok-123", true)};
        auto manager = startManager();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(!manager->isCheckingToken(), waitMs); }();
        manager->login(QStringLiteral("anna@example.com"), QStringLiteral("secret"));
        [&] { QTRY_VERIFY_WITH_TIMEOUT(manager->isAuthenticated(), waitMs); }();
        return manager;
    }

private slots:
    void initTestCase()
    {
        TokenStore probe;
        QSignalSpy loaded(&probe, &TokenStore::loaded);
        probe.load();
        QVERIFY(loaded.wait(waitMs));
    }

    void init()
    {
        m_server = std::make_unique<TestHttpServer>();
        QVERIFY(m_server->listen());
        m_unreadCount = 0;
        m_holdUnread = false;
        m_server->responder = [this](const RecordedRequest &r) {
            if (r.target.startsWith("/api/mobile/notifications")) {
                CannedResponse unread{200, R"({"unreadCount":)" + QByteArray::number(m_unreadCount) + R"(,"notifications":[]})"};
                unread.held = m_holdUnread;
                return unread;
            }
            return QJsonDocument::fromJson(r.body)["action"] == "login" ? m_loginAnswer : m_checkAnswer;
        };
        m_api = std::make_unique<APIClient>(m_server->url());
        putToken(std::nullopt);
    }

    void cleanup()
    {
        m_api.reset();
        m_server.reset();
    }

    void withoutStoredTokenNoRequest()
    {
        // Known to be signed out: no keyring round trip, the login screen can show at once.
        auto manager = startManager();
        QVERIFY(!manager->isCheckingToken());
        QVERIFY(!manager->isAuthenticated());
        QVERIFY(!manager->getToken());

        // Unsure (no record of the last state): the keyring is asked, and finds nothing.
        QSettings("TheOrvane", "Teams").remove("hasStoredToken");
        auto unsure = startManager();
        QVERIFY(unsure->isCheckingToken());
        QTRY_VERIFY_WITH_TIMEOUT(!unsure->isCheckingToken(), waitMs);
        QVERIFY(!unsure->isAuthenticated());
        QVERIFY(!unsure->getToken());
        QVERIFY(!TokenStore::mayHaveStoredToken());

        // An empty stored token counts as none.
        putToken(QString());
        auto empty = startManager();
        QTRY_VERIFY_WITH_TIMEOUT(!empty->isCheckingToken(), waitMs);
        QVERIFY(!empty->getToken());
        QVERIFY(m_server->requests.isEmpty());
    }

    void storedTokenCheck_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("serverDown");
        QTest::addColumn<bool>("signedIn");

        QTest::newRow("accepted") << 200 << authBody(true, nullptr, true) << false << true;
        QTest::newRow("success false") << 200 << authBody(false, nullptr, false, "expired") << false << false;
        QTest::newRow("success without user") << 200 << authBody(true, nullptr, false) << false << false;
        QTest::newRow("HTTP 401") << 401 << authBody(false, nullptr, false, "Unauthorized") << false << false;
        QTest::newRow("HTTP 500") << 500 << QByteArray("oops") << false << false;
        QTest::newRow("undecodable body") << 200 << QByteArray("{\"success\":\"yes\"") << false << false;
        QTest::newRow("server down") << 200 << QByteArray() << true << false;
    }

    void storedTokenCheck()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, serverDown);
        QFETCH(bool, signedIn);

        putToken(QStringLiteral("tok-stored"));
        m_checkAnswer = {status, body};
        if (serverDown) {
            // The client stops waiting for a server that does not come up quickly here.
            m_api = std::make_unique<APIClient>(QStringLiteral("http://127.0.0.1:%1").arg(TestHttpServer::closedPort()));
            m_api->setDeadlineForTesting(300ms);
        }
        FakeCallPoll poll;
        auto manager = startManager();
        manager->setCallPollingProvider([&poll] { return &poll; });
        QSignalSpy errorSpy(manager.get(), &AuthManager::errorChanged);
        QTRY_VERIFY_WITH_TIMEOUT(!manager->isCheckingToken(), waitMs);

        if (!serverDown) {
            const auto checks = sent("/api/mobile/auth", "check");
            QCOMPARE(checks.size(), 1);
            QCOMPARE(QJsonDocument::fromJson(checks.first().body)["token"].toString(), "tok-stored");
        }
        QCOMPARE(manager->isAuthenticated(), signedIn);
        QCOMPARE(manager->currentUser().has_value(), signedIn);
        QCOMPARE(manager->isUnreadCheckerRunning(), signedIn);
        QCOMPARE(poll.running, signedIn);
        QCOMPARE(errorSpy.count(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(manager->tokenStore().isIdle(), waitMs);
        QCOMPARE(keyringToken(), signedIn ? std::optional<QString>(QStringLiteral("tok-stored")) : std::nullopt);
        if (signedIn) {
            QCOMPARE(manager->currentUser()->email, "anna@example.com");
            QTRY_COMPARE_WITH_TIMEOUT(unreadAuthorization(), "Bearer tok-stored", waitMs);
        }
    }

    void signIn_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("error");

        QTest::newRow("accepted") << 200 << authBody(true, "tok-new", true) << true << QString();
        QTest::newRow("success without token") << 200 << authBody(true, nullptr, true) << false << "Login failed";
        QTest::newRow("success without user") << 200 << authBody(true, "tok-new", false) << false << "Login failed";
        QTest::newRow("without token, with error") << 200 << authBody(true, nullptr, true, "Verify your e-mail") << false
                                                   << "Verify your e-mail";
        QTest::newRow("empty token") << 200 << authBody(true, "", true) << false << "Login failed";
        QTest::newRow("success false, no text") << 200 << authBody(false, nullptr, false) << false << "Login failed";
        QTest::newRow("success false with text") << 200 << authBody(false, nullptr, false, "Неверный пароль") << false
                                                 << "Неверный пароль";
        // The status is judged before success.
        QTest::newRow("401 with text") << 401 << authBody(true, "tok-new", true, "Invalid credentials") << false
                                       << "Invalid credentials";
    }

    void signIn()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        QFETCH(QString, error);

        auto manager = startManager();
        QTRY_VERIFY_WITH_TIMEOUT(!manager->isCheckingToken(), waitMs);
        // After a refused attempt, whose error goes as soon as the next attempt starts.
        m_loginAnswer = {401, authBody(false, nullptr, false, "Invalid credentials")};
        QVERIFY(!QCoro::waitFor(manager->loginAsync("a@b.c", "x")));
        QCOMPARE(manager->error(), "Invalid credentials");
        m_loginAnswer = {status, body};

        // The answer is read only when the event loop runs again.
        auto task = manager->loginAsync(QStringLiteral("anna@example.com"), QStringLiteral("secret"));
        QVERIFY(manager->isLoading());
        QVERIFY(manager->error().isEmpty());
        const bool result = QCoro::waitFor(std::move(task));

        QCOMPARE(result, ok);
        QCOMPARE(manager->isAuthenticated(), ok);
        QVERIFY(!manager->isLoading());
        QCOMPARE(manager->error(), error);
        QTRY_VERIFY_WITH_TIMEOUT(manager->tokenStore().isIdle(), waitMs);
        QCOMPARE(keyringToken(), ok ? std::optional<QString>(QStringLiteral("tok-new")) : std::nullopt);
        QCOMPARE(manager->getToken(), ok ? std::optional<QString>(QStringLiteral("tok-new")) : std::nullopt);
        if (ok) {
            const QVariantMap user = manager->currentUserVariant().toMap();
            QCOMPARE(user.value("id").toString(), "u-1");
            QCOMPARE(user.value("numericId").toLongLong(), 7);
            QCOMPARE(user.value("username").toString(), "anna");
            QVERIFY(user.value("avatarURL").toString().endsWith("avatars/anna.png"));
        } else {
            QVERIFY(manager->currentUserVariant().isNull());
        }
    }

    void twoStartsLeaveOneLoopThatEndsWithTheSession()
    {
        m_holdUnread = true;
        auto manager = signedIn();
        manager->setUnreadIntervalForTesting(10ms);
        manager->startUnreadChecker();
        manager->startUnreadChecker();
        // Every start runs a step at once: three requests are in flight.
        QTRY_COMPARE_WITH_TIMEOUT(m_server->heldCount(), 3, waitMs);
        m_server->requests.clear();
        m_server->release();
        // Only the newest loop goes on: one request at a time, never two.
        QTRY_COMPARE_WITH_TIMEOUT(unreadRequests(), 1, waitMs);
        for (int step = 0; step < 5; ++step) {
            QTRY_COMPARE_WITH_TIMEOUT(m_server->heldCount(), 1, waitMs);
            QTest::qWait(50);
            QCOMPARE(m_server->heldCount(), 1);
            m_server->release();
            QTRY_COMPARE_WITH_TIMEOUT(unreadRequests(), step + 2, waitMs);
        }

        // An answer arriving after the sign-out is dropped. (Answers are made when the request arrives.)
        m_unreadCount = 5;
        m_server->release();
        QTRY_COMPARE_WITH_TIMEOUT(unreadRequests(), 7, waitMs);
        QCOMPARE(m_server->heldCount(), 1);
        QSignalSpy finished(manager.get(), &AuthManager::unreadStepFinished);
        manager->logout();
        m_server->release();
        QVERIFY(finished.wait(waitMs));
        QCOMPARE(manager->unreadCount(), 0);
    }

    // The unread loop from sign-in to sign-out, as the dock badge shows it.
    void unreadLoopAndBadge()
    {
        BadgeListener listener;
        m_unreadCount = 12;
        FakeCallPoll poll;
        auto manager = signedIn();
        manager->setCallPollingProvider([&poll] { return &poll; });
        QVERIFY(poll.running);
        // A loop that sleeps longer than any wait here, so only the activation below can ask again.
        manager->setUnreadIntervalForTesting(std::chrono::hours(1));
        manager->startUnreadChecker();
        QTRY_VERIFY_WITH_TIMEOUT(!listener.updates.isEmpty(), waitMs);
        QCOMPARE(listener.updates.last().count.typeId(), QMetaType::LongLong);
        QCOMPARE(listener.updates.last().count.toLongLong(), 12);
        QVERIFY(listener.updates.last().visible);
        QVERIFY(listener.updates.last().appUri.startsWith("application://"));

        // Becoming active asks at once, long before the next step.
        m_unreadCount = 250;
        emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
        QTRY_COMPARE_WITH_TIMEOUT(listener.updates.last().count.toLongLong(), 250, waitMs);
        QCOMPARE(unreadAuthorization(), "Bearer tok-123");

        manager->setUnreadIntervalForTesting(10ms);
        manager->startUnreadChecker();
        m_unreadCount = 0;
        QTRY_VERIFY_WITH_TIMEOUT(!listener.updates.last().visible, waitMs);
        QCOMPARE(listener.updates.last().count.toLongLong(), 0);
        QCOMPARE(manager->unreadCount(), 0);
        m_unreadCount = 2;
        QTRY_COMPARE_WITH_TIMEOUT(listener.updates.last().count.toLongLong(), 2, waitMs);

        // Signing out while the loop sleeps, just after a step.
        QSignalSpy stepped(manager.get(), &AuthManager::unreadStepFinished);
        QVERIFY(stepped.wait(waitMs));
        const qsizetype before = listener.updates.size();
        manager->logout();
        m_unreadCount = 9;
        const int requestsAtLogout = unreadRequests();
        QVERIFY(!manager->isAuthenticated());
        QVERIFY(!manager->currentUser());
        QVERIFY(!manager->isUnreadCheckerRunning());
        QVERIFY(!poll.running);
        QVERIFY(!manager->getToken());
        QTRY_VERIFY_WITH_TIMEOUT(manager->tokenStore().isIdle(), waitMs);
        QCOMPARE(keyringToken(), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(listener.updates.size(), before + 1, waitMs);
        QVERIFY(!listener.updates.last().visible);
        QCOMPARE(listener.updates.last().count.toLongLong(), 0);

        // Many former intervals later, nothing has asked the server and the count kept its value; becoming active
        // while signed out asks nothing either.
        QTest::qWait(300);
        QCOMPARE(unreadRequests(), requestsAtLogout);
        QCOMPARE(manager->unreadCount(), 2);
        emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
        QCoreApplication::processEvents();
        QCOMPARE(unreadRequests(), requestsAtLogout);
    }
};

QTEST_MAIN(TestAuthManager)
#include "tst_authmanager.moc"
