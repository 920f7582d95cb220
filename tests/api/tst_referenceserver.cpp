// Both clients against the project's reference server: the records decode from a real backend's
// answers, and a message with an uploaded file makes the round trip.
#include "APIClient.h"
#include "CallAPIClient.h"
#include "Diagnostics.h"
#include "ReferenceServer.h"

#include <QTemporaryDir>
#include <QTest>

#include <QCoro/QCoroTask>

class TestReferenceServer : public QObject
{
    Q_OBJECT
private:
    ReferenceServer server;
    APIClient *client = nullptr;
    QString token;

private slots:
    void initTestCase()
    {
        setDiagnosticsSink([](const QString &) {});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.demoSignIns().size() >= 2);
        client = new APIClient(server.serverUrl(), this);
        const ReferenceServer::SignIn who = server.demoSignIns().first();
        const auto login = QCoro::waitFor(client->login(who.email, who.password));
        QVERIFY2(login.ok(), qPrintable(login.error().description()));
        QVERIFY(login.value().token && login.value().user);
        QCOMPARE(login.value().user->email, who.email);
        token = *login.value().token;
    }
    void cleanupTestCase() { setDiagnosticsSink({}); }

    void signInFailures()
    {
        const auto wrong = QCoro::waitFor(client->login(server.demoSignIns().first().email, "not-the-password"));
        QCOMPARE(wrong.error().kind, APIError::Kind::ServerError);
        QVERIFY(!wrong.error().description().isEmpty());
        const auto check = QCoro::waitFor(client->checkToken(token));
        QVERIFY2(check.ok() && check.value().success, qPrintable(check.error().description()));
        const auto stale = QCoro::waitFor(client->checkToken("no-such-token"));
        QVERIFY(!stale.ok() || !stale.value().success);
    }

    void messageWithUpload()
    {
        const auto profile = QCoro::waitFor(client->getProfile(token));
        QVERIFY2(profile.ok() && profile.value().profile, qPrintable(profile.error().description()));
        QVERIFY(QCoro::waitFor(client->getUnreadCount(token)).ok());
        const auto conversations = QCoro::waitFor(client->getConversations(token));
        QVERIFY2(conversations.ok(), qPrintable(conversations.error().description()));
        QVERIFY(conversations.value().conversations && !conversations.value().conversations->isEmpty());
        const QString peer = conversations.value().conversations->first().participant.id;

        QTemporaryDir dir;
        const QString name = QStringLiteral("Отчёт \"Q4\".txt");
        const QString path = dir.filePath(name);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("quarterly numbers\r\n");
        file.close();
        const auto upload = QCoro::waitFor(client->uploadFile(token, path));
        QVERIFY2(upload.ok() && upload.value().success, qPrintable(upload.error().description()));
        QVERIFY(upload.value().downloadUrl);
        QCOMPARE(upload.value().fileName, std::optional(name)); // the escaped quotes read back as quotes

        const QString text = QStringLiteral("Файл во вложении ✅");
        const auto sent = QCoro::waitFor(client->sendMessage(token, peer, text, upload.value().downloadUrl, QString("text/plain")));
        QVERIFY2(sent.ok() && sent.value().success, qPrintable(sent.error().description()));

        const auto messages = QCoro::waitFor(client->getMessages(token, peer));
        QVERIFY2(messages.ok() && messages.value().messages, qPrintable(messages.error().description()));
        bool found = false;
        for (const Message &m : *messages.value().messages)
            found = found || (m.content == text && m.attachmentUrl == upload.value().downloadUrl);
        QVERIFY(found);
    }

    void callsEndpoint()
    {
        CallAPIClient calls(server.serverUrl());
        const auto incoming = QCoro::waitFor(calls.checkIncomingCall(token));
        QVERIFY2(incoming.ok() && incoming.value().success, qPrintable(incoming.error().description()));
        QVERIFY(!incoming.value().incomingCall);
        const auto status = QCoro::waitFor(calls.getCallStatus(token, "no-such-call"));
        QVERIFY2(status.ok(), qPrintable(status.error().description()));
        QVERIFY(!status.value().call);
    }
};

QTEST_GUILESS_MAIN(TestReferenceServer)
#include "tst_referenceserver.moc"
