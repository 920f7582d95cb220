// Decoding rules, derived values and configuration of the Server API records.
#include "APIError.h"
#include "AccountRecords.h"
#include "CallRecords.h"
#include "MessagingRecords.h"
#include "ServerConfig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("THEORVANE_CONTENT_URL", "https://content.test.example/");
    }

    // The JSON itself: strict grammar, valid UTF-8, exact strings. ErrorResponse has one optional field.
    void strictJson_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QVariant>("error"); // the decoded "error" text, or invalid when the body is refused
        const QVariant refused;
        QTest::newRow("plain") << QByteArray(R"({"error":"x"})") << QVariant("x");
        QTest::newRow("whitespace around") << QByteArray(" \r\n\t{ \"error\" : \"x\" }\n ") << QVariant("x");
        QTest::newRow("escapes") << QByteArray("{\"error\":\"a\\\"b\\\\c\\/d\\n\\u0041\\u00e9\\ud83d\\ude00\"}") << QVariant(QStringLiteral("a\"b\\c/d\nAé😀"));
        QTest::newRow("NUL escape kept") << QByteArray("{\"error\":\"a\\u0000b\"}") << QVariant(QString::fromUtf16(u"a\0b", 3));
        QTest::newRow("combining flood keeps thirty marks") << "{\"error\":\"a" + QByteArray("\\u0301").repeated(40) + "b\"}" << QVariant("a" + QString(30, QChar(0x301)) + "b");
        QTest::newRow("raw UTF-8") << QStringLiteral("{\"error\":\"Ошибка ✅\"}").toUtf8() << QVariant(QStringLiteral("Ошибка ✅"));
        QTest::newRow("repeated key: last wins") << QByteArray(R"({"error":"a","error":"b"})") << QVariant("b");
        QTest::newRow("other values ignored") << QByteArray(R"({"x":[1,-0.5e-3,true,false,null,{"y":[]}],"error":"z"})") << QVariant("z");
        QTest::newRow("lone high surrogate") << QByteArray("{\"error\":\"\\ud83d\"}") << refused;
        QTest::newRow("lone low surrogate") << QByteArray("{\"error\":\"\\ude00x\"}") << refused;
        QTest::newRow("invalid UTF-8") << QByteArray("{\"error\":\"\xff\"}") << refused;
        QTest::newRow("overlong UTF-8") << QByteArray("{\"error\":\"\xc0\xaf\"}") << refused;
        QTest::newRow("UTF-8 surrogate") << QByteArray("{\"error\":\"\xed\xa0\x80\"}") << refused;
        QTest::newRow("control character") << QByteArray("{\"error\":\"a\nb\"}") << refused;
        QTest::newRow("bad escape") << QByteArray("{\"error\":\"\\x41\"}") << refused;
        QTest::newRow("trailing comma") << QByteArray(R"({"error":"x",})") << refused;
        QTest::newRow("leading zero") << QByteArray(R"({"n":01})") << refused;
        QTest::newRow("bare fraction") << QByteArray(R"({"n":1.})") << refused;
        QTest::newRow("NaN") << QByteArray(R"({"n":NaN})") << refused;
        QTest::newRow("single quotes") << QByteArray("{'error':'x'}") << refused;
        QTest::newRow("trailing data") << QByteArray(R"({"error":"x"} {})") << refused;
        QTest::newRow("unterminated") << QByteArray("{\"error\":\"x") << refused;
        QTest::newRow("deep nesting") << QByteArray(5000, '[') << refused;
    }
    void strictJson()
    {
        QFETCH(QByteArray, body);
        QFETCH(QVariant, error);
        const auto result = ErrorResponse::decode(body);
        if (!error.isValid()) {
            QVERIFY(!result.ok());
            QVERIFY2(result.error().description().startsWith("ErrorResponse: body is not valid JSON ("), qPrintable(result.error().description()));
            return;
        }
        QVERIFY2(result.ok(), qPrintable(result.error().description()));
        QCOMPARE(result.value().error, std::optional<QString>(error.toString()));
    }

    // What a key fills once converted: the matching of keys inside a real body.
    void snakeCaseMatching_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<bool>("fills");
        QTest::newRow("snake") << QByteArray("last_name") << true;
        QTest::newRow("camel") << QByteArray("lastName") << true;
        QTest::newRow("upper snake") << QByteArray("LAST_NAME") << true;
        QTest::newRow("mixed pieces") << QByteArray("Last_nAME") << true;
        QTest::newRow("doubled underscore") << QByteArray("last__name") << true;
        QTest::newRow("leading underscore") << QByteArray("_last_name") << false;
        QTest::newRow("trailing underscore") << QByteArray("last_name_") << false;
        QTest::newRow("one piece is unchanged") << QByteArray("lastname") << false;
        QTest::newRow("one upper piece") << QByteArray("LASTNAME") << false;
        QTest::newRow("extra piece") << QByteArray("last_name_x") << false;
        QTest::newRow("escaped underscore") << QByteArray("last\\u005fname") << true;
        QTest::newRow("Cyrillic look-alike") << QStringLiteral("lаst_name").toUtf8() << false;
    }
    void snakeCaseMatching()
    {
        QFETCH(QByteArray, key);
        QFETCH(bool, fills);
        const auto result = UserProfile::decode(R"({"id":"u","email":"e",")" + key + R"(":"Котова"})");
        QVERIFY2(result.ok(), qPrintable(result.error().description()));
        QCOMPARE(result.value().lastName.has_value(), fills);
        if (fills)
            QCOMPARE(*result.value().lastName, QStringLiteral("Котова"));
    }

    // Every row is a User body; error is a fragment the decoding text must contain.
    void userDecoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QVariant>("numericId");

        const QVariant none;
        QTest::newRow("minimal, snake case") << QByteArray(R"({"id":"u1","email":"a@b","email_verified":true})") << "" << none;
        QTest::newRow("unknown keys ignored")
            << QByteArray(R"({"id":"u1","email":"a@b","emailVerified":true,"extra":[1,{"x":null}],"Weird_":1})") << "" << none;
        QTest::newRow("optional null is absent")
            << QByteArray(R"({"id":"u1","email":"a@b","emailVerified":true,"name":null,"numericId":null})") << "" << none;
        QTest::newRow("missing required bool")
            << QByteArray(R"({"id":"u1","email":"a@b"})") << "User.emailVerified: missing required field" << none;
        QTest::newRow("required null")
            << QByteArray(R"({"id":"u1","email":"a@b","emailVerified":null})") << "User.emailVerified: missing required field" << none;
        QTest::newRow("number is not a bool")
            << QByteArray(R"({"id":"u1","email":"a@b","emailVerified":1})") << "User.emailVerified: expected bool, got number" << none;
        QTest::newRow("required string of wrong type")
            << QByteArray(R"({"id":7,"email":"a@b","emailVerified":true})") << "User.id: expected string, got number" << none;
        QTest::newRow("optional string of wrong type")
            << QByteArray(R"({"id":"u1","email":"a@b","emailVerified":true,"name":["x"]})") << "User.name: expected string, got array" << none;

        const QByteArray head = R"({"id":"u1","email":"a@b","emailVerified":true,"numeric_id":)";
        QTest::newRow("integer") << head + "42}" << "" << QVariant(qint64(42));
        QTest::newRow("3.0 is an integer") << head + "3.0}" << "" << QVariant(qint64(3));
        QTest::newRow("exponent integer") << head + "1e3}" << "" << QVariant(qint64(1000));
        QTest::newRow("int64 max exact") << head + "9223372036854775807}" << "" << QVariant(std::numeric_limits<qint64>::max());
        QTest::newRow("int64 min exact") << head + "-9223372036854775808}" << "" << QVariant(std::numeric_limits<qint64>::min());
        QTest::newRow("beyond double precision") << head + "9007199254740993}" << "" << QVariant(qint64(9007199254740993LL));
        QTest::newRow("2.5 is not an integer") << head + "2.5}" << "User.numericId: expected integer" << none;
        QTest::newRow("int64 max + 1") << head + "9223372036854775808}" << "User.numericId: expected integer" << none;
        QTest::newRow("int64 min - 1") << head + "-9223372036854775809}" << "User.numericId: expected integer" << none;
        QTest::newRow("exact after rounding risk") << head + "9007199254740993.0}" << "" << QVariant(qint64(9007199254740993LL));
        QTest::newRow("exponent beyond double precision") << head + "9007199254740993e0}" << "" << QVariant(qint64(9007199254740993LL));
        QTest::newRow("int64 max with exponent") << head + "922337203685477580.7e1}" << "" << QVariant(std::numeric_limits<qint64>::max());
        QTest::newRow("tiny fraction Qt would round") << head + "2.0000000000000001}" << "User.numericId: expected integer" << none;
        QTest::newRow("large fraction Qt would round") << head + "4611686018427387904.5}" << "User.numericId: expected integer" << none;
        QTest::newRow("short exponent Qt would round") << head + "9007199254e9}" << "" << QVariant(qint64(9007199254000000000LL));
        QTest::newRow("beyond int64 with exponent") << head + "1e19}" << "User.numericId: expected integer" << none;
        QTest::newRow("numbers inside strings untouched")
            << QByteArray(R"({"id":"9007199254740993.0","email":"a@b","emailVerified":true,"numericId":-0.0})") << "" << QVariant(qint64(0));
        QTest::newRow("true is not a number") << head + "true}" << "User.numericId: expected integer, got bool" << none;
        QTest::newRow("string is not a number") << head + "\"3\"}" << "User.numericId: expected integer, got string" << none;

        QTest::newRow("empty body") << QByteArray("") << "User: empty body" << none;
        QTest::newRow("not JSON") << QByteArray("<html>") << "User: body is not valid JSON" << none;
        QTest::newRow("array") << QByteArray("[]") << "User: expected a JSON object, got array" << none;
    }
    void userDecoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        QFETCH(QVariant, numericId);
        const auto result = User::decode(json);
        if (!error.isEmpty()) {
            QVERIFY(!result.ok());
            QCOMPARE(result.error().kind, APIError::Kind::Decoding);
            QVERIFY2(result.error().description().contains(error), qPrintable(result.error().description()));
            return;
        }
        QVERIFY2(result.ok(), qPrintable(result.error().description()));
        QVERIFY(result.value().id == QLatin1String("u1") || result.value().id == QLatin1String("9007199254740993.0"));
        if (numericId.isValid())
            QCOMPARE(result.value().numericId, std::optional<qint64>(numericId.toLongLong()));
        else
            QVERIFY(!result.value().numericId);
        QVERIFY(!result.value().name && !result.value().username && !result.value().avatar);
    }

    // A failure deep inside a response fails the whole response and says where it was.
    void nestedFailures_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");

        QTest::newRow("user inside auth") << "AuthResponse"
            << QByteArray(R"({"success":true,"token":"t","user":{"id":"u","email":"e"}})")
            << "User.emailVerified: missing required field (at user.emailVerified)";
        QTest::newRow("unknown friendship state") << "ConversationsResponse"
            << QByteArray(R"({"success":true,"conversations":[{"id":"c","participant":{"id":"p"},"unreadCount":0,"friendshipStatus":"blocked"}]})")
            << "Conversation.friendshipStatus: unknown value \"blocked\" (at conversations[0].friendshipStatus)";
        QTest::newRow("enum values are not converted") << "ConversationsResponse"
            << QByteArray(R"({"success":true,"conversations":[{"id":"c","participant":{"id":"p"},"unreadCount":0,"friendshipStatus":"pendingIncoming"}]})")
            << "unknown value \"pendingIncoming\"";
        QTest::newRow("preview without content") << "ConversationsResponse"
            << QByteArray(R"({"success":true,"conversations":[)"
                          R"({"id":"c1","participant":{"id":"p"},"unreadCount":0,"friendshipStatus":"friend"},)"
                          R"({"id":"c2","participant":{"id":"p"},"unreadCount":1,"friendshipStatus":"none","last_message":{"sender_id":"p"}}]})")
            << "LastMessagePreview.content: missing required field (at conversations[1].lastMessage.content)";
        QTest::newRow("list element not an object") << "MessagesResponse"
            << QByteArray(R"({"success":true,"messages":[3]})") << "MessagesResponse.messages: element 0: expected object, got number";
        QTest::newRow("attached file without status") << "MessagesResponse"
            << QByteArray(R"({"success":true,"messages":[{"id":"m","content":"","senderId":"s","attachedFile":{"id":"f","name":"n","size":1,"mimeType":"t"}}]})")
            << "AttachedFile.uploadStatus: missing required field (at messages[0].attachedFile.uploadStatus)";
        QTest::newRow("unknown upload status") << "SendMessageResponse"
            << QByteArray(R"({"success":true,"message":{"id":"m","content":"","senderId":"s","attachedFile":{"id":"f","name":"n","size":1,"mimeType":"t","uploadStatus":"done"}}})")
            << "AttachedFile.uploadStatus: unknown value \"done\"";
        QTest::newRow("size not exact") << "SendMessageResponse"
            << QByteArray(R"({"success":true,"message":{"id":"m","content":"","senderId":"s","attachedFile":{"id":"f","name":"n","size":1.5,"mimeType":"t","uploadStatus":"failed"}}})")
            << "AttachedFile.size: expected integer";
        QTest::newRow("profile record of wrong type") << "ProfileResponse"
            << QByteArray(R"({"success":true,"profile":"me"})") << "ProfileResponse.profile: expected object, got string";
        QTest::newRow("call data without status") << "CallStatusResponse"
            << QByteArray(R"({"success":true,"call":{"id":"c"}})") << "CallData.status: missing required field (at call.status)";
        QTest::newRow("call records take no snake case") << "CallResponse"
            << QByteArray(R"({"Success":true})") << "CallResponse.success: missing required field";
        QTest::newRow("candidate index not an integer") << "CallStatusResponse"
            << QByteArray(R"({"success":true,"call":{"id":"c","status":"active","calleeCandidates":[{"candidate":"x","sdpMLineIndex":"0"}]}})")
            << "IceCandidate.sdpMLineIndex: expected integer, got string (at call.calleeCandidates[0].sdpMLineIndex)";
    }
    void nestedFailures()
    {
        QFETCH(QString, record);
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        std::optional<APIError> failure;
        auto check = [&](const auto &result) { if (!result.ok()) failure = result.error(); };
        if (record == QLatin1String("AuthResponse")) check(AuthResponse::decode(json));
        else if (record == QLatin1String("ConversationsResponse")) check(ConversationsResponse::decode(json));
        else if (record == QLatin1String("MessagesResponse")) check(MessagesResponse::decode(json));
        else if (record == QLatin1String("SendMessageResponse")) check(SendMessageResponse::decode(json));
        else if (record == QLatin1String("ProfileResponse")) check(ProfileResponse::decode(json));
        else if (record == QLatin1String("CallStatusResponse")) check(CallStatusResponse::decode(json));
        else if (record == QLatin1String("CallResponse")) check(CallResponse::decode(json));
        else QFAIL("unknown record");
        QVERIFY(failure);
        QCOMPARE(failure->kind, APIError::Kind::Decoding);
        QVERIFY2(failure->description().contains(error), qPrintable(failure->description()));
    }

    // Nested snake-case keys and every friendship state decode from the reference server's answers
    // (tst_messaging_e2e). Lists and records may be absent; a candidate without its optional fields still
    // writes both.
    void optionalParts()
    {
        const auto list = ConversationsResponse::decode(R"({"success":true})");
        QVERIFY(list.ok() && !list.value().conversations);
        const auto status = CallStatusResponse::decode(R"({"success":false,"error":"not found"})");
        QVERIFY(status.ok() && !status.value().call);
        const auto incoming = IncomingCallResponse::decode(R"({"success":true,"incomingCall":null})");
        QVERIFY(incoming.ok() && !incoming.value().incomingCall);
        const auto data = CallStatusResponse::decode(
            R"({"success":true,"call":{"id":"c","status":"ringing","callerCandidates":[{"candidate":"a"}]}})");
        QVERIFY(data.ok());
        const IceCandidate candidate = data.value().call->callerCandidates->first();
        QVERIFY(!candidate.sdpMid && !candidate.sdpMLineIndex);
        const QJsonObject dict = candidate.toDictionary();
        QCOMPARE(dict.keys(), (QStringList{"candidate", "sdpMLineIndex", "sdpMid"}));
        QCOMPARE(dict.value("sdpMid").toString(), QString());
        QCOMPARE(dict.value("sdpMLineIndex").toInteger(), 0);
    }

    // Writing back uses the camel-case keys, optional fields only when present, and reads back equal.
    void encodeRoundTrip()
    {
        Message m;
        m.id = "m1";
        m.content = "привет";
        m.senderId = "s";
        m.isRead = true;
        m.attachmentUrl = "https://c/x";
        AttachedFile f;
        f.id = "f";
        f.name = "n.pdf";
        f.size = std::numeric_limits<qint64>::max();
        f.mimeType = "application/pdf";
        f.uploadStatus = FileUploadStatus::Uploaded;
        m.attachedFile = f;
        MessagesResponse r;
        r.success = true;
        r.messages = QList<Message>{m};

        const QJsonObject json = r.toJson();
        QCOMPARE(json.keys(), (QStringList{"messages", "success"}));
        const QJsonObject message = json.value("messages").toArray().first().toObject();
        QCOMPARE(message.keys(), (QStringList{"attachedFile", "attachmentUrl", "content", "id", "isRead", "senderId"}));
        QCOMPARE(message.value("attachedFile").toObject().value("uploadStatus").toString(), QStringLiteral("uploaded"));

        const auto back = MessagesResponse::decode(QJsonDocument(json).toJson());
        QVERIFY2(back.ok(), qPrintable(back.error().description()));
        QCOMPARE(back.value(), r);

        Conversation c; // (the fuzz target checks that every decodable record round-trips)
        c.friendshipStatus = FriendshipStatus::PendingOutgoing;
        QCOMPARE(c.toJson().value("friendshipStatus").toString(), QStringLiteral("pending_outgoing"));
    }

    void avatarURL_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QVariant>("avatar");
        QTest::addColumn<QString>("expected"); // empty: no address
        const QVariant absent;
        QTest::newRow("user absent") << "user" << absent << "";
        QTest::newRow("user empty is the content host") << "user" << QVariant("") << "https://content.test.example/";
        QTest::newRow("user relative") << "user" << QVariant("avatars/1.png") << "https://content.test.example/avatars/1.png";
        QTest::newRow("user full address on the content host") << "user" << QVariant("https://content.test.example/a.png") << "https://content.test.example/a.png";
        QTest::newRow("user full address elsewhere") << "user" << QVariant("https://cdn.example/a.png") << "";
        QTest::newRow("user content host over plain http") << "user" << QVariant("http://content.test.example/a.png") << "";
        QTest::newRow("user content host, other port") << "user" << QVariant("https://content.test.example:8443/a.png") << "";
        QTest::newRow("user unparsable") << "user" << QVariant("http://exa mple/a b") << "";
        QTest::newRow("friend empty is nothing") << "friend" << QVariant("") << "";
        QTest::newRow("friend relative") << "friend" << QVariant("a/b.jpg") << "https://content.test.example/a/b.jpg";
        QTest::newRow("profile relative") << "profile" << QVariant("p.png") << "https://content.test.example/p.png";
    }
    void avatarURL()
    {
        QFETCH(QString, kind);
        QFETCH(QVariant, avatar);
        QFETCH(QString, expected);
        const std::optional<QString> value = avatar.isValid() ? std::optional<QString>(avatar.toString()) : std::nullopt;
        std::optional<QUrl> url;
        if (kind == QLatin1String("user")) {
            User u;
            u.avatar = value;
            url = u.avatarURL();
        } else if (kind == QLatin1String("friend")) {
            Friend f;
            f.avatar = value;
            url = f.avatarURL();
        } else {
            UserProfile p;
            p.avatar = value;
            url = p.avatarURL();
        }
        QCOMPARE(url ? url->toString() : QString(), expected);
    }

    void friendNames()
    {
        Friend f;
        QCOMPARE(f.displayName(), QStringLiteral("Unknown"));
        f.username = "nick";
        QCOMPARE(f.displayName(), QStringLiteral("nick"));
        f.name = "";
        QCOMPARE(f.displayName(), QString()); // an empty name still wins over the username
        f.name = "Анна";
        f.lastName = "";
        QCOMPARE(f.displayName(), QStringLiteral("Анна"));
        f.lastName = "Котова";
        QCOMPARE(f.displayName(), QStringLiteral("Анна Котова"));
        // Friend::fromConversation is the friends list's (tst_people).
    }

    void attachmentFileName_data()
    {
        QTest::addColumn<QVariant>("url");
        QTest::addColumn<QVariant>("name");
        QTest::newRow("absent") << QVariant() << QVariant();
        QTest::newRow("two tokens dropped") << QVariant("https://c/f/1700-ab12-my-report.pdf") << QVariant("my-report.pdf");
        QTest::newRow("plain name") << QVariant("https://c/f/report.pdf") << QVariant("report.pdf");
        QTest::newRow("two pieces kept") << QVariant("https://c/f/a-b") << QVariant("a-b");
        QTest::newRow("trailing slash") << QVariant("https://c/f/") << QVariant("");
        QTest::newRow("no slash") << QVariant("x-y-z") << QVariant("z");
    }
    void attachmentFileName()
    {
        QFETCH(QVariant, url);
        QFETCH(QVariant, name);
        Message m;
        if (url.isValid())
            m.attachmentUrl = url.toString();
        const auto result = m.attachmentFileName();
        QCOMPARE(result.has_value(), name.isValid());
        if (result)
            QCOMPARE(*result, name.toString());
    }

    void serverConfig_data()
    {
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<QString>("expected"); // empty: refused
        QTest::newRow("https") << QByteArray("https://teams.example.org/") << "https://teams.example.org";
        QTest::newRow("http loopback v4") << QByteArray("http://127.0.0.1:8080") << "http://127.0.0.1:8080";
        QTest::newRow("http localhost") << QByteArray("http://localhost:1") << "http://localhost:1";
        QTest::newRow("http loopback v6") << QByteArray("http://[::1]:9") << "http://[::1]:9";
        QTest::newRow("http elsewhere") << QByteArray("http://teams.example.org") << "";
        QTest::newRow("http private address") << QByteArray("http://192.168.1.2") << "";
        QTest::newRow("other scheme") << QByteArray("ftp://teams.example.org") << "";
        QTest::newRow("not an address") << QByteArray("teams") << "";
    }
    void serverConfig()
    {
        QFETCH(QByteArray, server);
        QFETCH(QString, expected);
        qputenv("THEORVANE_SERVER_URL", server);
        const ServerConfig config = ServerConfig::current();
        qunsetenv("THEORVANE_SERVER_URL");
        QCOMPARE(config.serverURL, expected);
        QCOMPARE(config.isValid(), !expected.isEmpty());
        if (!config.isValid())
            QVERIFY(config.errors.first().startsWith(QStringLiteral("THEORVANE_SERVER_URL: ")));
    }

    // The content address always ends in "/", so relative avatar paths join it. (STUN and ICE settings are
    // the media configuration's: tst_mediaconfig.)
    void contentAddressEndsInSlash()
    {
        qputenv("THEORVANE_CONTENT_URL", "http://127.0.0.1:5/files");
        QCOMPARE(ServerConfig::current().contentURL, QStringLiteral("http://127.0.0.1:5/files/"));
        qputenv("THEORVANE_CONTENT_URL", "https://content.test.example/");
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
