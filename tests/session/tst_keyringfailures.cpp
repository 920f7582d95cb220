// Keyring failures; each case runs in a process of its own (see CMakeLists.txt).
#include "APIClient.h"
#include "AuthManager.h"
#include "Diagnostics.h"
#include "TestHttpServer.h"
#include "TokenStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDirIterator>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

namespace {

// A Secret Service that takes every call and never answers, as a keyring waiting forever for an
// unlock prompt does.
class SilentSecretService : public QDBusVirtualObject
{
public:
    bool handleMessage(const QDBusMessage &, const QDBusConnection &) override
    {
        ++calls;
        return true; // handled, and no reply is ever sent
    }
    QString introspect(const QString &) const override { return {}; }
    int calls = 0;
};

} // namespace

class TestKeyringFailures : public QObject
{
    Q_OBJECT

    SilentSecretService m_service;

private slots:
    // No Secret Service at all (CTest points the session bus at nothing): the member can still sign in
    // for this run, the failure is reported once, and the token never lands in a file.
    void signInWithoutKeyring()
    {
        QStringList lines;
        setDiagnosticsSink([&lines](const QString &line) { lines << line; });

        TestHttpServer server;
        QVERIFY(server.listen());
        server.responder = [](const RecordedRequest &r) {
            if (r.method == "GET")
                return CannedResponse{200, R"({"unreadCount":0})"};
            return CannedResponse{200, R"({"success":true,"token":"tok-secret-4711","user":{"id":"u-1","email":"a@b.c","email_verified":false}})"};
        };
        APIClient api(server.url());
        AuthManager manager(&api, nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!manager.isCheckingToken(), 20000);
        QVERIFY(!manager.isAuthenticated());

        QSignalSpy failed(&manager.tokenStore(), &TokenStore::saveFailed);
        QVERIFY(QCoro::waitFor(manager.loginAsync("a@b.c", "pw")));
        QVERIFY(failed.wait(20000));
        QCOMPARE(lines.filter(QRegularExpression("^Failed to save token: -?\\d+$")).size(), 1);
        // The session goes on with the token kept in memory only.
        QCOMPARE(manager.getToken(), std::optional<QString>(QStringLiteral("tok-secret-4711")));
        QTRY_COMPARE_WITH_TIMEOUT(server.requests.last().header("Authorization"), "Bearer tok-secret-4711", 20000);

        // Nothing under the home or XDG folders holds the token.
        for (const char *var : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            const QString dir = qEnvironmentVariable(var);
            if (dir.isEmpty())
                continue;
            QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                if (file.size() < (1 << 22) && file.open(QIODevice::ReadOnly))
                    QVERIFY2(!file.readAll().contains("tok-secret-4711"), qPrintable(file.fileName()));
            }
        }

        manager.logout();
        QVERIFY(!manager.getToken());
        setDiagnosticsSink({});
    }

    // A keyring that never answers (CTest runs this on a bus of its own): every job still ends.
    void lockedKeyringJobsEnd()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.isConnected());
        if (bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")))
            QSKIP("a real Secret Service owns the bus; this test needs a bus of its own");
        QVERIFY(bus.registerVirtualObject(QStringLiteral("/"), &m_service, QDBusConnection::SubPath));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.secrets")));

        QStringList lines;
        setDiagnosticsSink([&lines](const QString &line) { lines << line; });

        TokenStore store;
        store.setJobTimeout(300ms);
        QSignalSpy loaded(&store, &TokenStore::loaded);
        QSignalSpy failed(&store, &TokenStore::saveFailed);
        // A read alone ends, with no token.
        store.load();
        QVERIFY(loaded.wait(20000));
        QVERIFY(store.isLoaded());
        QVERIFY(!store.token());

        store.load();
        store.save(QStringLiteral("tok-1"));
        store.remove();
        store.save(QStringLiteral("tok-2"));

        // The mirror follows the calls at once, whatever the keyring does.
        QCOMPARE(store.token(), std::optional<QString>(QStringLiteral("tok-2")));
        QTRY_VERIFY_WITH_TIMEOUT(store.isIdle(), 20000);
        QCOMPARE(loaded.count(), 2);
        QCOMPARE(failed.count(), 2);
        QCOMPARE(lines.filter(QStringLiteral("Failed to save token: ")).size(), 2);
        // The read that timed out does not overwrite what was saved meanwhile.
        QCOMPARE(store.token(), std::optional<QString>(QStringLiteral("tok-2")));
        QVERIFY(m_service.calls > 0);
        setDiagnosticsSink({});
    }
};

QTEST_MAIN(TestKeyringFailures)
#include "tst_keyringfailures.moc"
