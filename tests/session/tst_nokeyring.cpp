#include "APIClient.h"
#include "AuthManager.h"
#include "Diagnostics.h"
#include "TestHttpServer.h"
#include "TokenStore.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

// Runs without any Secret Service (CTest points the session bus at nothing): the member can still
// sign in for this run, the failure is reported once, and the token never lands in a file.
class TestNoKeyring : public QObject
{
    Q_OBJECT

private slots:
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
};

QTEST_MAIN(TestNoKeyring)
#include "tst_nokeyring.moc"
