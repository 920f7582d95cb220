// APIClient and CallAPIClient against a real HTTP server on 127.0.0.1: what crosses the wire and how
// answers are read.
#include "APIClient.h"
#include "CallAPIClient.h"
#include "Diagnostics.h"
#include "TestHttpServer.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <QCoro/QCoroTask>

using namespace std::chrono_literals;

namespace {
const QString token = QStringLiteral("tok-Ω 1");
const QByteArray bearer = QStringLiteral("Bearer tok-Ω 1").toUtf8();
// (moc misreads "//" inside raw strings, so this one is escaped by hand.)
const QByteArray uploadAnswer = "{\"success\":true,\"file_id\":\"f1\",\"download_url\":\"https://c/f1\",\"file_size\":4}";
const QString offer = QStringLiteral("v=0\r\no=- 1 2 IN IP4 127.0.0.1\r\n");

template <class T>
std::optional<APIError> outcome(QCoro::Task<APIResult<T>> task)
{
    const auto result = QCoro::waitFor(std::move(task));
    return result.ok() ? std::nullopt : std::optional<APIError>(result.error());
}

// One operation of either client by name; id goes into the query of the two that take one.
std::optional<APIError> perform(APIClient &api, CallAPIClient &calls, const QString &operation, const QString &id = "p1")
{
    if (operation == "login") return outcome(api.login(" A@b.c ", "p \"ä\""));
    if (operation == "checkToken") return outcome(api.checkToken(token));
    if (operation == "getProfile") return outcome(api.getProfile(token));
    if (operation == "getUnreadCount") return outcome(api.getUnreadCount(token));
    if (operation == "getConversations") return outcome(api.getConversations(token));
    if (operation == "getMessages") return outcome(api.getMessages(token, id));
    if (operation == "getMessagesBody") return outcome(api.getMessagesBody(token, id));
    if (operation == "send") return outcome(api.sendMessage(token, "p1", "", std::nullopt, std::nullopt));
    if (operation == "sendAttachment")
        return outcome(api.sendMessage(token, "p1", "hi", QString("https://c/x.pdf"), QString("application/pdf")));
    if (operation == "incoming") return outcome(calls.checkIncomingCall(token));
    if (operation == "status") return outcome(calls.getCallStatus(token, id));
    if (operation == "initiate") return outcome(calls.initiateCall(token, "u2", offer));
    if (operation == "answer") return outcome(calls.answerCall(token, "c1", "v=0\r\n"));
    if (operation == "decline") return outcome(calls.declineCall(token, "c1"));
    if (operation == "end") return outcome(calls.endCall(token, "c1"));
    if (operation == "ice") {
        IceCandidate c;
        c.candidate = "candidate:1 1 UDP 1 127.0.0.1 5000 typ host";
        c.sdpMid = "0";
        c.sdpMLineIndex = 0;
        return outcome(calls.sendIceCandidate(token, "c1", c.toDictionary()));
    }
    qFatal("unknown operation %s", qPrintable(operation));
}
} // namespace

class TestAPIClient : public QObject
{
    Q_OBJECT
private:
    TestHttpServer server;
    APIClient *client = nullptr;
    CallAPIClient *calls = nullptr;
    QStringList lines;
    QTemporaryDir files;

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = files.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server.listen());
        QVERIFY(files.isValid());
        client = new APIClient(server.url(), this);
        calls = new CallAPIClient(server.url(), this);
        setDiagnosticsSink([this](const QString &line) { lines << line; });
    }
    void init()
    {
        server.requests.clear();
        server.respond(200, R"({"success":true})");
        lines.clear();
    }
    void cleanupTestCase() { setDiagnosticsSink({}); }

    // Method, address, headers and body of every operation of both clients.
    void requestsOnTheWire_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<bool>("authorized");
        QTest::addColumn<bool>("json"); // Content-Type: application/json, even on a GET
        QTest::addColumn<QJsonObject>("body");

        const QByteArray get("GET"), post("POST"), callsPath("/api/mobile/calls");
        QTest::newRow("login") << "login" << post << QByteArray("/api/mobile/auth") << false << true
                               << QJsonObject{{"action", "login"}, {"email", " A@b.c "}, {"password", "p \"ä\""}};
        QTest::newRow("check token") << "checkToken" << post << QByteArray("/api/mobile/auth") << false << true
                                     << QJsonObject{{"action", "check"}, {"token", token}};
        QTest::newRow("profile") << "getProfile" << get << QByteArray("/api/mobile/profile") << true << true << QJsonObject();
        QTest::newRow("unread") << "getUnreadCount" << get << QByteArray("/api/mobile/notifications?limit=1") << true << true
                                << QJsonObject();
        QTest::newRow("conversations") << "getConversations" << get << QByteArray("/api/mobile/conversations") << true << true
                                       << QJsonObject();
        QTest::newRow("messages") << "getMessages" << get << QByteArray("/api/mobile/messages?participantId=p1") << true << true
                                  << QJsonObject();
        QTest::newRow("messages, raw body") << "getMessagesBody" << get << QByteArray("/api/mobile/messages?participantId=p1") << true
                                            << true << QJsonObject();
        QTest::newRow("send, two keys") << "send" << post << QByteArray("/api/mobile/messages") << true << true
                                        << QJsonObject{{"participantId", "p1"}, {"content", ""}};
        QTest::newRow("send with attachment") << "sendAttachment" << post << QByteArray("/api/mobile/messages") << true << true
                                              << QJsonObject{{"participantId", "p1"}, {"content", "hi"},
                                                             {"attachmentUrl", "https://c/x.pdf"}, {"attachmentType", "application/pdf"}};
        QTest::newRow("incoming call poll") << "incoming" << get << callsPath << true << false << QJsonObject();
        QTest::newRow("call status") << "status" << get << callsPath + "?action=status&callId=p1" << true << false << QJsonObject();
        QTest::newRow("initiate") << "initiate" << post << callsPath << true << true
                                  << QJsonObject{{"action", "initiate"}, {"calleeId", "u2"}, {"offer", offer}};
        QTest::newRow("answer") << "answer" << post << callsPath << true << true
                                << QJsonObject{{"action", "answer"}, {"callId", "c1"}, {"answer", "v=0\r\n"}};
        QTest::newRow("decline") << "decline" << post << callsPath << true << true << QJsonObject{{"action", "decline"}, {"callId", "c1"}};
        QTest::newRow("end") << "end" << post << callsPath << true << true << QJsonObject{{"action", "end"}, {"callId", "c1"}};
        QTest::newRow("ice candidate") << "ice" << post << callsPath << true << true
                                       << QJsonObject{{"action", "ice-candidate"}, {"callId", "c1"},
                                                      {"candidate", QJsonObject{{"candidate", "candidate:1 1 UDP 1 127.0.0.1 5000 typ host"},
                                                                                {"sdpMid", "0"}, {"sdpMLineIndex", 0}}}};
    }
    void requestsOnTheWire()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, target);
        QFETCH(bool, authorized);
        QFETCH(bool, json);
        QFETCH(QJsonObject, body);

        const auto failure = perform(*client, *calls, operation);
        QVERIFY2(!failure, qPrintable(failure ? failure->description() : QString()));
        QCOMPARE(server.requests.size(), 1);
        const RecordedRequest &r = server.requests.first();
        QCOMPARE(r.method, method);
        QCOMPARE(r.target, target);
        QCOMPARE(r.header("Content-Type"), json ? QByteArray("application/json") : QByteArray());
        QCOMPARE(r.header("Authorization"), authorized ? bearer : QByteArray());
        if (method == "POST") {
            QCOMPARE(QJsonDocument::fromJson(r.body).object(), body);
            QVERIFY(!r.body.contains('\n')); // compact
        } else {
            QVERIFY(r.body.isEmpty());
        }
    }

    // Query values are percent-encoded outside the unreserved characters.
    void idEncoding_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QByteArray>("target");
        const QByteArray messages = "/api/mobile/messages?participantId=";
        QTest::newRow("space") << "getMessages" << "a b" << messages + "a%20b";
        QTest::newRow("query delimiters") << "getMessages" << "a&b=c+d#e" << messages + "a%26b%3Dc%2Bd%23e";
        QTest::newRow("slash and question mark") << "getMessages" << "a/b?c" << messages + "a%2Fb%3Fc";
        QTest::newRow("percent") << "getMessages" << "%41" << messages + "%2541";
        QTest::newRow("unreserved stay") << "getMessages" << "Az09-._~" << messages + "Az09-._~";
        QTest::newRow("Cyrillic as UTF-8") << "getMessages" << "Иван" << messages + "%D0%98%D0%B2%D0%B0%D0%BD";
        QTest::newRow("call id") << "status" << "a&b=c#d e" << QByteArray("/api/mobile/calls?action=status&callId=a%26b%3Dc%23d%20e");
    }
    void idEncoding()
    {
        QFETCH(QString, operation);
        QFETCH(QString, id);
        QFETCH(QByteArray, target);
        QVERIFY(!perform(*client, *calls, operation, id));
        QCOMPARE(server.requests.size(), 1);
        QCOMPARE(server.requests.first().target, target);
    }

    // The failure table of the shared procedure (through getProfile), the upload's own and the calls endpoint's.
    void answers_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<int>("kind"); // -1: a record comes back
        QTest::addColumn<QString>("text");

        const int server = int(APIError::Kind::ServerError), decoding = int(APIError::Kind::Decoding);
        const QByteArray json = "application/json";
        const QString profile = "getProfile", upload = "upload";
        QTest::newRow("401 with error text") << profile << 401 << QByteArray(R"({"error":"Недействительный токен"})") << json
                                             << server << "Недействительный токен";
        QTest::newRow("500 with HTML") << profile << 500 << QByteArray("<html><body>Oops</body></html>") << QByteArray("text/html")
                                       << server << "HTTP 500";
        QTest::newRow("404 without error") << profile << 404 << QByteArray(R"({"message":"x"})") << json << server << "HTTP 404";
        QTest::newRow("403 error not a string") << profile << 403 << QByteArray(R"({"error":5})") << json << server << "HTTP 403";
        QTest::newRow("503 empty") << profile << 503 << QByteArray() << QByteArray() << server << "HTTP 503";
        QTest::newRow("200 without required field") << profile << 200 << QByteArray(R"({"profile":null})") << json
                                                    << decoding << "ProfileResponse.success: missing required field";
        QTest::newRow("200 success false is a record") << profile << 200 << QByteArray(R"({"success":false,"error":"no"})") << json
                                                       << -1 << "";
        QTest::newRow("201 decodes like 200") << profile << 201 << QByteArray(R"({"success":true})") << json << -1 << "";
        QTest::newRow("upload: 201 with a valid record still fails") << upload << 201 << QByteArray(R"({"success":true,"fileId":"f"})")
                                                                     << json << server << "Upload failed with status 201";
        QTest::newRow("upload: 413 with error text") << upload << 413 << QByteArray(R"({"error":"Файл слишком большой"})") << json
                                                     << server << "Файл слишком большой";
        QTest::newRow("upload: 400 error not a string") << upload << 400 << QByteArray(R"({"error":{"x":1}})") << json << server
                                                        << "Upload failed with status 400";
        QTest::newRow("upload: 200 success false is a record") << upload << 200 << QByteArray(R"({"success":false,"error":"virus"})")
                                                               << json << -1 << "";
        QTest::newRow("upload: 200 not a record") << upload << 200 << QByteArray(R"({"fileId":"f"})") << json << decoding
                                                  << "FileUploadResponse.success: missing required field";
        // The calls endpoint does not examine the status: a body that decodes is the answer, whatever the code.
        QTest::newRow("calls: 500 with a record") << "initiate" << 500 << QByteArray(R"({"success":false,"error":"busy"})") << json
                                                  << -1 << "";
        QTest::newRow("calls: 502 with HTML") << "end" << 502 << QByteArray("<html>Bad gateway</html>") << QByteArray("text/html")
                                              << decoding << "CallResponse: body is not valid JSON";
    }
    void answers()
    {
        QFETCH(QString, operation);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(int, kind);
        QFETCH(QString, text);
        server.respond(status, body, contentType);
        const auto failure = operation == "upload" ? outcome(client->uploadFile(token, writeFile("a.txt", "a")))
                                                   : perform(*client, *calls, operation);
        QVERIFY2(failure.has_value() == (kind >= 0), qPrintable(failure ? failure->description() : QString()));
        if (!failure)
            return;
        QCOMPARE(int(failure->kind), kind);
        QVERIFY2(failure->description().startsWith(text), qPrintable(failure->description()));
        if (kind == int(APIError::Kind::ServerError))
            QCOMPARE(failure->description(), text);
    }

    void unreadCount_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<qint64>("count");
        QTest::newRow("integer") << 200 << QByteArray(R"({"unreadCount":3,"notifications":[]})") << qint64(3);
        QTest::newRow("int64 max") << 200 << QByteArray(R"({"unreadCount":9223372036854775807})") << std::numeric_limits<qint64>::max();
        QTest::newRow("snake case is not read") << 200 << QByteArray(R"({"unread_count":3})") << qint64(0);
        QTest::newRow("string") << 200 << QByteArray(R"({"unreadCount":"3"})") << qint64(0);
        QTest::newRow("bool") << 200 << QByteArray(R"({"unreadCount":true})") << qint64(0);
        QTest::newRow("401 error body") << 401 << QByteArray(R"({"error":"no"})") << qint64(0);
        QTest::newRow("502 with a count") << 502 << QByteArray(R"({"unreadCount":7})") << qint64(7);
        QTest::newRow("not JSON") << 200 << QByteArray("<html>") << qint64(0);
        QTest::newRow("array") << 200 << QByteArray("[3]") << qint64(0);
    }
    void unreadCount()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(qint64, count);
        server.respond(status, body);
        const auto result = QCoro::waitFor(client->getUnreadCount(token));
        QVERIFY(result.ok());
        QCOMPARE(result.value(), count);
    }

    // The multipart body byte for byte, and the upload's log lines.
    void uploadBody_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("dispositionName");
        QTest::newRow("empty file") << "empty.txt" << QByteArray() << QByteArray("empty.txt");
        QTest::newRow("binary with CRLF and dashes") << "data.bin" << QByteArray("\r\n--\0\xff\r\n", 8) << QByteArray("data.bin");
        QTest::newRow("quotes and Cyrillic") << "Отчёт \"итог\".pdf" << QByteArray("%PDF") << QStringLiteral("Отчёт %22итог%22.pdf").toUtf8();
        QTest::newRow("line breaks escaped") << "a\rb\nc.txt" << QByteArray("x") << QByteArray("a%0Db%0Ac.txt");
        QTest::newRow("placeholders in the name") << "%1 %2%3.txt" << QByteArray("x") << QByteArray("%1 %2%3.txt");
    }
    void uploadBody()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, dispositionName);
        const QString path = writeFile(fileName, content);
        server.respond(200, uploadAnswer);

        const auto result = QCoro::waitFor(client->uploadFile(token, path));
        QVERIFY2(result.ok(), qPrintable(result.error().description()));
        QCOMPARE(result.value().fileId, std::optional<QString>("f1"));
        QCOMPARE(result.value().downloadUrl, std::optional<QString>("https://c/f1"));

        QCOMPARE(server.requests.size(), 1);
        const RecordedRequest &r = server.requests.first();
        QCOMPARE(r.method, QByteArray("POST"));
        QCOMPARE(r.target, QByteArray("/api/mobile/files/upload"));
        QCOMPARE(r.header("Authorization"), bearer);
        const QByteArray type = r.header("Content-Type");
        const QByteArray prefix = "multipart/form-data; boundary=";
        QVERIFY2(type.startsWith(prefix), type.constData());
        const QByteArray boundary = type.mid(prefix.size());
        QVERIFY(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$").match(QString::fromLatin1(boundary)).hasMatch());

        const QByteArray expected = "--" + boundary + "\r\n"
            "Content-Disposition: form-data; name=\"file\"; filename=\"" + dispositionName + "\"\r\n"
            "Content-Type: application/octet-stream\r\n"
            "\r\n" + content + "\r\n"
            "--" + boundary + "--\r\n";
        QCOMPARE(r.body, expected);

        const QString address = server.url() + "/api/mobile/files/upload";
        const QString size = QString::number(content.size());
        QCOMPARE(lines, (QStringList{
                            "[APIClient] 🚀 uploadFile called for: " + path,
                            "[APIClient] 📤 Upload URL: " + address,
                            "[APIClient] 📖 Reading file data...",
                            "[APIClient] 📖 File read: " + fileName + ", " + size + " bytes",
                            "[APIClient] 📤 Uploading file: " + fileName + " (" + size + " bytes) to " + address,
                            "[APIClient] Upload response status: 200",
                            "[APIClient] Upload response: " + QString::fromUtf8(uploadAnswer),
                        }));

        // Each upload has its own boundary.
        QVERIFY(QCoro::waitFor(client->uploadFile(token, path)).ok());
        QVERIFY(!server.requests.last().header("Content-Type").endsWith(boundary));
    }

    void uploadLimit()
    {
        QByteArray content(APIClient::maxUploadBytes, 'z');
        content[0] = 'A';
        content[content.size() - 1] = 'Z';
        const QString exact = writeFile("exact.bin", content);
        QVERIFY(QCoro::waitFor(client->uploadFile(token, exact)).ok());
        QCOMPARE(server.requests.size(), 1);
        QVERIFY(server.requests.first().body.contains("\r\n\r\n" + content + "\r\n--"));

        server.requests.clear();
        lines.clear();
        const QString over = writeFile("over.bin", content + "!");
        const auto result = QCoro::waitFor(client->uploadFile(token, over));
        QCOMPARE(result.error(), APIError::serverError("Файл слишком большой. Максимум 10 МБ"));
        QVERIFY(server.requests.isEmpty());
        QCOMPARE(lines.mid(3), (QStringList{"[APIClient] 📖 File read: over.bin, 10485761 bytes",
                                            "[APIClient] ❌ File too large: 10485761 > 10485760"}));
    }

    void localFailures()
    {
        const auto missing = QCoro::waitFor(client->uploadFile(token, files.filePath("nope.txt")));
        QCOMPARE(missing.error().kind, APIError::Kind::File);
        QVERIFY(!missing.error().description().isEmpty());
        QVERIFY(server.requests.isEmpty());

        // A server address that cannot form a URL: logged, nothing sent.
        APIClient broken(QString(), this);
        CallAPIClient brokenCalls(QString(), this);
        lines.clear();
        QCOMPARE(QCoro::waitFor(broken.uploadFile(token, writeFile("b.txt", "b"))).error(), APIError::invalidURL());
        QCOMPARE(lines.last(), QStringLiteral("[APIClient] ❌ Invalid URL"));
        for (const QString &operation : {"getProfile", "getUnreadCount", "end"})
            QCOMPARE(perform(broken, brokenCalls, operation), std::optional(APIError::invalidURL()));
    }

    // GETs follow the response's caching headers through the disk cache; POSTs never come from it.
    void responseCache()
    {
        server.responder = [](const RecordedRequest &) {
            CannedResponse r;
            r.body = R"({"success":true,"conversations":[]})";
            r.extraHeaders = {{"Cache-Control", "max-age=600"}};
            return r;
        };
        QVERIFY(QCoro::waitFor(client->getConversations(token)).ok());
        QVERIFY(QCoro::waitFor(client->getConversations(token)).ok());
        QCOMPARE(server.requests.size(), 1);
        QVERIFY(QCoro::waitFor(client->sendMessage(token, "p", "x", std::nullopt, std::nullopt)).ok());
        QVERIFY(QCoro::waitFor(client->sendMessage(token, "p", "x", std::nullopt, std::nullopt)).ok());
        QCOMPARE(server.requests.size(), 3);

        server.respond(200, R"({"success":true})"); // no caching headers: always asked
        QVERIFY(QCoro::waitFor(client->getProfile(token)).ok());
        QVERIFY(QCoro::waitFor(client->getProfile(token)).ok());
        QCOMPARE(server.requests.size(), 5);

        // A failure after a stored answer is still the server's failure, not the old answer.
        server.respond(500, "<html/>", "text/html");
        QCOMPARE(QCoro::waitFor(client->getProfile(token)).error(), APIError::serverError("HTTP 500"));
    }

    // Nobody listening: the account client waits for connectivity until its deadline, call polls fail at once.
    // A silent server: the request times out and, having reached the server, is not sent again.
    void transportFailures_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("code");
        const int refused = QNetworkReply::ConnectionRefusedError, timeout = QNetworkReply::TimeoutError;
        QTest::newRow("refused: profile") << "getProfile" << false << refused;
        QTest::newRow("refused: unread count passes it on") << "getUnreadCount" << false << refused;
        QTest::newRow("refused: incoming call poll") << "incoming" << false << refused;
        QTest::newRow("silent: send") << "send" << true << timeout;
        QTest::newRow("silent: call status") << "status" << true << timeout;
    }
    void transportFailures()
    {
        QFETCH(QString, operation);
        QFETCH(bool, silent);
        QFETCH(int, code);
        server.responder = [](const RecordedRequest &) {
            CannedResponse r;
            r.silent = true;
            return r;
        };
        const QString address = silent ? server.url() : QStringLiteral("http://127.0.0.1:%1").arg(TestHttpServer::closedPort());
        APIClient api(address, this);
        CallAPIClient apiCalls(address, this);
        api.setDeadlineForTesting(800ms);
        apiCalls.setDeadlineForTesting(800ms);
        const auto failure = perform(api, apiCalls, operation);
        QVERIFY(failure);
        QCOMPARE(failure->kind, APIError::Kind::Transport);
        QCOMPARE(failure->transportCode, code);
        QCOMPARE(server.requests.size(), silent ? 1 : 0);
    }

    // A server that comes up while the request waits is reached.
    void waitsForConnectivity()
    {
        const quint16 port = TestHttpServer::closedPort();
        APIClient waiting(QStringLiteral("http://127.0.0.1:%1").arg(port), this);
        waiting.setDeadlineForTesting(30s);
        TestHttpServer late;
        late.respond(200, R"({"success":true,"messages":[]})");
        QTimer::singleShot(300ms, &late, [&] { QVERIFY(late.listen(port)); });
        const auto result = QCoro::waitFor(waiting.getMessages(token, "p"));
        QVERIFY2(result.ok(), qPrintable(result.error().description()));
        QCOMPARE(late.requests.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestAPIClient)
#include "tst_apiclient.moc"
