// CallAPIClient against a real HTTP server on 127.0.0.1.
#include "CallAPIClient.h"
#include "TestHttpServer.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTest>

#include <QCoro/QCoroTask>

using namespace std::chrono_literals;

class TestCallAPIClient : public QObject
{
    Q_OBJECT
private:
    TestHttpServer server;
    CallAPIClient *client = nullptr;

private slots:
    void initTestCase()
    {
        QVERIFY(server.listen());
        client = new CallAPIClient(server.url(), this);
        QCOMPARE(client->baseURL(), server.url() + "/api/mobile/calls");
    }
    void init()
    {
        server.requests.clear();
        server.respond(200, R"({"success":true})");
    }

    void requestsOnTheWire_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QJsonObject>("body");
        const QByteArray base = "/api/mobile/calls";
        QTest::newRow("incoming poll") << "incoming" << QByteArray("GET") << base << QJsonObject();
        QTest::newRow("status") << "status" << QByteArray("GET") << base + "?action=status&callId=c1" << QJsonObject();
        QTest::newRow("initiate") << "initiate" << QByteArray("POST") << base
                                  << QJsonObject{{"action", "initiate"}, {"calleeId", "u2"}, {"offer", "v=0\r\no=- 1 2 IN IP4 127.0.0.1\r\n"}};
        QTest::newRow("answer") << "answer" << QByteArray("POST") << base
                                << QJsonObject{{"action", "answer"}, {"callId", "c1"}, {"answer", "v=0\r\n"}};
        QTest::newRow("decline") << "decline" << QByteArray("POST") << base << QJsonObject{{"action", "decline"}, {"callId", "c1"}};
        QTest::newRow("end") << "end" << QByteArray("POST") << base << QJsonObject{{"action", "end"}, {"callId", "c1"}};
        QTest::newRow("ice candidate") << "ice" << QByteArray("POST") << base
                                       << QJsonObject{{"action", "ice-candidate"}, {"callId", "c1"},
                                                      {"candidate", QJsonObject{{"candidate", "candidate:1 1 UDP 1 127.0.0.1 5000 typ host"},
                                                                                {"sdpMid", "0"}, {"sdpMLineIndex", 0}}}};
    }
    void requestsOnTheWire()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, target);
        QFETCH(QJsonObject, body);
        const QString token = "t0k";
        bool ok = false;
        if (operation == "incoming") ok = QCoro::waitFor(client->checkIncomingCall(token)).ok();
        else if (operation == "status") ok = QCoro::waitFor(client->getCallStatus(token, "c1")).ok();
        else if (operation == "initiate") ok = QCoro::waitFor(client->initiateCall(token, "u2", "v=0\r\no=- 1 2 IN IP4 127.0.0.1\r\n")).ok();
        else if (operation == "answer") ok = QCoro::waitFor(client->answerCall(token, "c1", "v=0\r\n")).ok();
        else if (operation == "decline") ok = QCoro::waitFor(client->declineCall(token, "c1")).ok();
        else if (operation == "end") ok = QCoro::waitFor(client->endCall(token, "c1")).ok();
        else if (operation == "ice") {
            IceCandidate c;
            c.candidate = "candidate:1 1 UDP 1 127.0.0.1 5000 typ host";
            c.sdpMid = "0";
            c.sdpMLineIndex = 0;
            ok = QCoro::waitFor(client->sendIceCandidate(token, "c1", c.toDictionary())).ok();
        }
        QVERIFY(ok);
        QCOMPARE(server.requests.size(), 1);
        const RecordedRequest &r = server.requests.first();
        QCOMPARE(r.method, method);
        QCOMPARE(r.target, target);
        QCOMPARE(r.header("Authorization"), QByteArray("Bearer t0k"));
        if (method == "GET") {
            QVERIFY(!r.hasHeader("Content-Type"));
            QVERIFY(r.body.isEmpty());
        } else {
            QCOMPARE(r.header("Content-Type"), QByteArray("application/json"));
            QCOMPARE(QJsonDocument::fromJson(r.body).object(), body);
        }
    }

    void callIdEncoding()
    {
        QVERIFY(QCoro::waitFor(client->getCallStatus("t", "a&b=c#d e")).ok());
        QCOMPARE(server.requests.first().target, QByteArray("/api/mobile/calls?action=status&callId=a%26b%3Dc%23d%20e"));
    }

    // The status is not examined: a body that decodes is the answer, whatever the code.
    void statusNotExamined()
    {
        server.respond(500, R"({"success":false,"error":"busy"})");
        const auto busy = QCoro::waitFor(client->initiateCall("t", "u", "o"));
        QVERIFY(busy.ok());
        QCOMPARE(busy.value().error, std::optional<QString>("busy"));

        server.respond(200, R"({"success":true,"callId":"c9","message":"ok"})");
        QCOMPARE(QCoro::waitFor(client->initiateCall("t", "u", "o")).value().callId, std::optional<QString>("c9"));

        server.respond(502, "<html>Bad gateway</html>", "text/html");
        const auto html = QCoro::waitFor(client->endCall("t", "c"));
        QCOMPARE(html.error().kind, APIError::Kind::Decoding);

        server.respond(200, R"({"success":true,"call":{"id":"c"}})");
        const auto noStatus = QCoro::waitFor(client->getCallStatus("t", "c"));
        QVERIFY(noStatus.error().description().contains("CallData.status: missing required field"));

        server.respond(200, R"({"success":true,"incomingCall":{"id":"c","offer":"sdp","caller":{"id":"u","name":"Ann"}}})");
        const auto incoming = QCoro::waitFor(client->checkIncomingCall("t"));
        QVERIFY(incoming.ok());
        QCOMPARE(incoming.value().incomingCall->caller->name, std::optional<QString>("Ann"));
    }

    // Polls do not wait for connectivity: a refused connection fails at once with the transport's error.
    void refusedConnection()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        const quint16 port = probe.serverPort();
        probe.close();
        CallAPIClient offline(QStringLiteral("http://127.0.0.1:%1").arg(port), this);
        const auto result = QCoro::waitFor(offline.checkIncomingCall("t"));
        QCOMPARE(result.error().kind, APIError::Kind::Transport);
        QCOMPARE(result.error().transportCode, int(QNetworkReply::ConnectionRefusedError));

        CallAPIClient broken(QString(), this);
        QCOMPARE(QCoro::waitFor(broken.endCall("t", "c")).error(), APIError::invalidURL());
    }

    void silentServerTimesOut()
    {
        server.responder = [](const RecordedRequest &) {
            CannedResponse r;
            r.silent = true;
            return r;
        };
        CallAPIClient impatient(server.url(), this);
        impatient.setDeadlineForTesting(400ms);
        const auto result = QCoro::waitFor(impatient.getCallStatus("t", "c"));
        QCOMPARE(result.error().transportCode, int(QNetworkReply::TimeoutError));
    }
};

QTEST_GUILESS_MAIN(TestCallAPIClient)
#include "tst_callapiclient.moc"
