// APIClient against a real HTTP server on 127.0.0.1: what crosses the wire and how answers are read.
#include "APIClient.h"
#include "Diagnostics.h"
#include "TestHttpServer.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <QCoro/QCoroTask>

using namespace std::chrono_literals;

namespace {
const QString token = QStringLiteral("tok-Ω 1");
// (moc misreads "//" inside raw strings, so this one is escaped by hand.)
const QByteArray uploadAnswer = "{\"success\":true,\"file_id\":\"f1\",\"download_url\":\"https://c/f1\",\"file_size\":4}";
const QByteArray bearer = QStringLiteral("Bearer tok-Ω 1").toUtf8();

QJsonObject jsonBody(const RecordedRequest &request)
{
    return QJsonDocument::fromJson(request.body).object();
}

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}
} // namespace

class TestAPIClient : public QObject
{
    Q_OBJECT
private:
    TestHttpServer server;
    APIClient *client = nullptr;
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
        QCOMPARE(client->baseURL(), server.url() + QStringLiteral("/api/mobile"));
        setDiagnosticsSink([this](const QString &line) { lines << line; });
    }
    void init()
    {
        server.requests.clear();
        server.respond(200, R"({"success":true})");
        lines.clear();
    }
    void cleanupTestCase() { setDiagnosticsSink({}); }

    // Method, address, headers and body of every JSON operation.
    void requestsOnTheWire_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<bool>("authorized");
        QTest::addColumn<QJsonObject>("body");

        QTest::newRow("login") << "login" << QByteArray("POST") << QByteArray("/api/mobile/auth") << false
                               << QJsonObject{{"action", "login"}, {"email", " A@b.c "}, {"password", "p \"ä\""}};
        QTest::newRow("check token") << "checkToken" << QByteArray("POST") << QByteArray("/api/mobile/auth") << false
                                     << QJsonObject{{"action", "check"}, {"token", token}};
        QTest::newRow("profile") << "getProfile" << QByteArray("GET") << QByteArray("/api/mobile/profile") << true << QJsonObject();
        QTest::newRow("unread") << "getUnreadCount" << QByteArray("GET") << QByteArray("/api/mobile/notifications?limit=1")
                                << true << QJsonObject();
        QTest::newRow("conversations") << "getConversations" << QByteArray("GET") << QByteArray("/api/mobile/conversations")
                                       << true << QJsonObject();
        QTest::newRow("messages") << "getMessages" << QByteArray("GET") << QByteArray("/api/mobile/messages?participantId=p1")
                                  << true << QJsonObject();
        QTest::newRow("send, two keys") << "send" << QByteArray("POST") << QByteArray("/api/mobile/messages") << true
                                        << QJsonObject{{"participantId", "p1"}, {"content", ""}};
        QTest::newRow("send with attachment") << "sendAttachment" << QByteArray("POST") << QByteArray("/api/mobile/messages") << true
                                              << QJsonObject{{"participantId", "p1"}, {"content", "hi"},
                                                             {"attachmentUrl", "https://c/x.pdf"}, {"attachmentType", "application/pdf"}};
    }
    void requestsOnTheWire()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, target);
        QFETCH(bool, authorized);
        QFETCH(QJsonObject, body);

        bool ok = false;
        if (operation == "login") ok = QCoro::waitFor(client->login(" A@b.c ", "p \"ä\"")).ok();
        else if (operation == "checkToken") ok = QCoro::waitFor(client->checkToken(token)).ok();
        else if (operation == "getProfile") ok = QCoro::waitFor(client->getProfile(token)).ok();
        else if (operation == "getUnreadCount") ok = QCoro::waitFor(client->getUnreadCount(token)).ok();
        else if (operation == "getConversations") ok = QCoro::waitFor(client->getConversations(token)).ok();
        else if (operation == "getMessages") ok = QCoro::waitFor(client->getMessages(token, "p1")).ok();
        else if (operation == "send") ok = QCoro::waitFor(client->sendMessage(token, "p1", "", std::nullopt, std::nullopt)).ok();
        else if (operation == "sendAttachment")
            ok = QCoro::waitFor(client->sendMessage(token, "p1", "hi", QString("https://c/x.pdf"), QString("application/pdf"))).ok();
        QVERIFY(ok);

        QCOMPARE(server.requests.size(), 1);
        const RecordedRequest &r = server.requests.first();
        QCOMPARE(r.method, method);
        QCOMPARE(r.target, target);
        QCOMPARE(r.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(r.hasHeader("Authorization"), authorized);
        if (authorized)
            QCOMPARE(r.header("Authorization"), bearer);
        if (method == "POST") {
            QCOMPARE(jsonBody(r), body);
            QVERIFY(!r.body.contains('\n')); // compact
        } else {
            QVERIFY(r.body.isEmpty());
        }
    }

    void participantIdEncoding_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QByteArray>("query");
        QTest::newRow("space") << "a b" << QByteArray("a%20b");
        QTest::newRow("query delimiters") << "a&b=c+d#e" << QByteArray("a%26b%3Dc%2Bd%23e");
        QTest::newRow("slash and question mark") << "a/b?c" << QByteArray("a%2Fb%3Fc");
        QTest::newRow("percent") << "%41" << QByteArray("%2541");
        QTest::newRow("unreserved stay") << "Az09-._~" << QByteArray("Az09-._~");
        QTest::newRow("Cyrillic as UTF-8") << "Иван" << QByteArray("%D0%98%D0%B2%D0%B0%D0%BD");
    }
    void participantIdEncoding()
    {
        QFETCH(QString, id);
        QFETCH(QByteArray, query);
        QVERIFY(QCoro::waitFor(client->getMessages(token, id)).ok());
        QCOMPARE(server.requests.size(), 1);
        QCOMPARE(server.requests.first().target, QByteArray("/api/mobile/messages?participantId=") + query);
    }

    // The failure table of the shared procedure, through getProfile.
    void answers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<int>("kind"); // -1: a record comes back
        QTest::addColumn<QString>("text");

        const int server = int(APIError::Kind::ServerError), decoding = int(APIError::Kind::Decoding);
        QTest::newRow("401 with error text") << 401 << QByteArray(R"({"error":"Недействительный токен"})") << QByteArray("application/json")
                                             << server << "Недействительный токен";
        QTest::newRow("400 with error text") << 400 << QByteArray(R"({"error":"bad"})") << QByteArray("application/json") << server << "bad";
        QTest::newRow("500 with HTML") << 500 << QByteArray("<html><body>Oops</body></html>") << QByteArray("text/html") << server << "HTTP 500";
        QTest::newRow("404 without error") << 404 << QByteArray(R"({"message":"x"})") << QByteArray("application/json") << server << "HTTP 404";
        QTest::newRow("403 error not a string") << 403 << QByteArray(R"({"error":5})") << QByteArray("application/json") << server << "HTTP 403";
        QTest::newRow("503 empty") << 503 << QByteArray() << QByteArray() << server << "HTTP 503";
        QTest::newRow("200 without required field") << 200 << QByteArray(R"({"profile":null})") << QByteArray("application/json")
                                                    << decoding << "ProfileResponse.success: missing required field";
        QTest::newRow("204 empty") << 204 << QByteArray() << QByteArray() << decoding << "ProfileResponse: empty body";
        QTest::newRow("200 success false is a record") << 200 << QByteArray(R"({"success":false,"error":"no"})")
                                                       << QByteArray("application/json") << -1 << "";
        QTest::newRow("201 decodes like 200") << 201 << QByteArray(R"({"success":true})") << QByteArray("application/json") << -1 << "";
    }
    void answers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(int, kind);
        QFETCH(QString, text);
        server.respond(status, body, contentType);
        const auto result = QCoro::waitFor(client->getProfile(token));
        if (kind < 0) {
            QVERIFY2(result.ok(), qPrintable(result.error().description()));
            return;
        }
        QVERIFY(!result.ok());
        QCOMPARE(int(result.error().kind), kind);
        QVERIFY2(result.error().description().startsWith(text), qPrintable(result.error().description()));
        if (kind == int(APIError::Kind::ServerError))
            QCOMPARE(result.error().description(), text);
    }

    void signIn()
    {
        server.respond(200, R"({"success":false})");
        auto result = QCoro::waitFor(client->login("a@b", "x"));
        QCOMPARE(result.error(), APIError::serverError("Login failed"));

        server.respond(200, R"({"success":false,"error":"Неверный пароль"})");
        result = QCoro::waitFor(client->login("a@b", "x"));
        QCOMPARE(result.error(), APIError::serverError("Неверный пароль"));

        // The status is judged before success.
        server.respond(401, R"({"success":true,"error":"Unauthorized"})");
        result = QCoro::waitFor(client->login("a@b", "x"));
        QCOMPARE(result.error(), APIError::serverError("Unauthorized"));

        server.respond(200, R"({"success":true,"token":"T","requiresVerification":true,"user":{"id":"u","email":"a@b","emailVerified":true}})");
        result = QCoro::waitFor(client->login("a@b", "x"));
        QVERIFY(result.ok());
        QCOMPARE(result.value().token, std::optional<QString>("T"));

        // The token check hands back a refusal as a record; the caller decides.
        server.respond(200, R"({"success":false,"error":"expired"})");
        const auto check = QCoro::waitFor(client->checkToken("old"));
        QVERIFY(check.ok());
        QVERIFY(!check.value().success);
    }

    void unreadCount_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<qint64>("count");
        QTest::newRow("integer") << 200 << QByteArray(R"({"unreadCount":3,"notifications":[]})") << qint64(3);
        QTest::newRow("3.0") << 200 << QByteArray(R"({"unreadCount":3.0})") << qint64(3);
        QTest::newRow("int64 max") << 200 << QByteArray(R"({"unreadCount":9223372036854775807})") << std::numeric_limits<qint64>::max();
        QTest::newRow("snake case is not read") << 200 << QByteArray(R"({"unread_count":3})") << qint64(0);
        QTest::newRow("string") << 200 << QByteArray(R"({"unreadCount":"3"})") << qint64(0);
        QTest::newRow("fraction") << 200 << QByteArray(R"({"unreadCount":2.5})") << qint64(0);
        QTest::newRow("bool") << 200 << QByteArray(R"({"unreadCount":true})") << qint64(0);
        QTest::newRow("null") << 200 << QByteArray(R"({"unreadCount":null})") << qint64(0);
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
        const QString body = QString::fromUtf8(uploadAnswer);
        QCOMPARE(lines, (QStringList{
                            "[APIClient] 🚀 uploadFile called for: " + path,
                            "[APIClient] 📤 Upload URL: " + address,
                            "[APIClient] 📖 Reading file data...",
                            "[APIClient] 📖 File read: " + fileName + ", " + size + " bytes",
                            "[APIClient] 📤 Uploading file: " + fileName + " (" + size + " bytes) to " + address,
                            "[APIClient] Upload response status: 200",
                            "[APIClient] Upload response: " + body,
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

    void uploadAnswers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("kind"); // -1: a record comes back
        QTest::addColumn<QString>("text");
        const int server = int(APIError::Kind::ServerError);
        QTest::newRow("201 with a valid record still fails") << 201 << QByteArray(R"({"success":true,"fileId":"f"})") << server
                                                             << "Upload failed with status 201";
        QTest::newRow("201 with error text") << 201 << QByteArray(R"({"error":"quota"})") << server << "quota";
        QTest::newRow("413 with error text") << 413 << QByteArray(R"({"error":"Файл слишком большой"})") << server << "Файл слишком большой";
        QTest::newRow("500 with HTML") << 500 << QByteArray("<html/>") << server << "Upload failed with status 500";
        QTest::newRow("400 error not a string") << 400 << QByteArray(R"({"error":{"x":1}})") << server << "Upload failed with status 400";
        QTest::newRow("200 success false is a record") << 200 << QByteArray(R"({"success":false,"error":"virus"})") << -1 << "";
        QTest::newRow("200 not a record") << 200 << QByteArray(R"({"fileId":"f"})") << int(APIError::Kind::Decoding)
                                          << "FileUploadResponse.success: missing required field";
    }
    void uploadAnswers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, kind);
        QFETCH(QString, text);
        server.respond(status, body);
        const auto result = QCoro::waitFor(client->uploadFile(token, writeFile("a.txt", "a")));
        if (kind < 0) {
            QVERIFY(result.ok());
            QVERIFY(!result.value().success);
            return;
        }
        QVERIFY(!result.ok());
        QCOMPARE(int(result.error().kind), kind);
        QCOMPARE(result.error().description(), text);
    }

    void uploadLocalFailures()
    {
        const auto missing = QCoro::waitFor(client->uploadFile(token, files.filePath("nope.txt")));
        QCOMPARE(missing.error().kind, APIError::Kind::File);
        QVERIFY(!missing.error().description().isEmpty());
        QVERIFY(server.requests.isEmpty());

        // A server address that cannot form a URL: logged, nothing sent.
        APIClient broken(QString(), this);
        lines.clear();
        const auto invalid = QCoro::waitFor(broken.uploadFile(token, writeFile("b.txt", "b")));
        QCOMPARE(invalid.error(), APIError::invalidURL());
        QCOMPARE(lines.last(), QStringLiteral("[APIClient] ❌ Invalid URL"));
        QCOMPARE(QCoro::waitFor(broken.getProfile(token)).error(), APIError::invalidURL());
        QCOMPARE(QCoro::waitFor(broken.getUnreadCount(token)).error(), APIError::invalidURL());
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

    void refusedConnection()
    {
        APIClient offline(QStringLiteral("http://127.0.0.1:%1").arg(closedPort()), this);
        offline.setDeadlineForTesting(800ms);
        const auto result = QCoro::waitFor(offline.getProfile(token));
        QCOMPARE(result.error().kind, APIError::Kind::Transport);
        QCOMPARE(result.error().transportCode, int(QNetworkReply::ConnectionRefusedError));
        QVERIFY(!result.error().description().isEmpty());
        // The unread count passes transport failures on too.
        QCOMPARE(QCoro::waitFor(offline.getUnreadCount(token)).error().kind, APIError::Kind::Transport);
    }

    // A server that comes up while the request waits is reached.
    void waitsForConnectivity()
    {
        const quint16 port = closedPort();
        APIClient waiting(QStringLiteral("http://127.0.0.1:%1").arg(port), this);
        waiting.setDeadlineForTesting(30s);
        TestHttpServer late;
        late.respond(200, R"({"success":true,"messages":[]})");
        QTimer::singleShot(300ms, &late, [&] { QVERIFY(late.listen(port)); });
        const auto result = QCoro::waitFor(waiting.getMessages(token, "p"));
        QVERIFY2(result.ok(), qPrintable(result.error().description()));
        QCOMPARE(late.requests.size(), 1);
    }

    void silentServerTimesOut()
    {
        server.responder = [](const RecordedRequest &) {
            CannedResponse r;
            r.silent = true;
            return r;
        };
        APIClient impatient(server.url(), this);
        impatient.setDeadlineForTesting(500ms);
        const auto result = QCoro::waitFor(impatient.sendMessage(token, "p", "x", std::nullopt, std::nullopt));
        QCOMPARE(result.error().kind, APIError::Kind::Transport);
        QCOMPARE(result.error().transportCode, int(QNetworkReply::TimeoutError));
        QCOMPARE(server.requests.size(), 1); // a request that reached the server is not sent again
    }
};

QTEST_GUILESS_MAIN(TestAPIClient)
#include "tst_apiclient.moc"
