// Conversations, messages, unread counts, and uploads: limits, names, and how files are served back.
#include "ServerTest.h"

#include <QDir>

#include <csignal>
#include <regex>

namespace {

const std::regex timestamp(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{6}Z)");

int64_t unread(Api &api, const std::string &token)
{
    return api.get("/api/mobile/notifications?limit=1", token).json.value("unreadCount", int64_t(-1));
}

json conversationWith(Api &api, const std::string &token, const std::string &otherId)
{
    const Reply r = api.get("/api/mobile/conversations", token);
    for (const auto &c : r.json["conversations"]) {
        if (c["participant"]["id"] == otherId)
            return c;
    }
    return nullptr;
}

json messagesWith(Api &api, const std::string &token, const std::string &otherId)
{
    return api.get("/api/mobile/messages?participantId=" + otherId, token).json["messages"];
}

Reply send(Api &api, const std::string &token, const std::string &to, const std::string &text)
{
    return api.post("/api/mobile/messages", {{"participantId", to}, {"content", text}}, token);
}

// The name a client shows for a download link: the last path segment, split at "-", first two pieces dropped,
// percent-escapes decoded.
std::string nameFromLink(const std::string &url)
{
    std::string segment = url.substr(url.rfind('/') + 1);
    for (int i = 0; i < 2; ++i)
        segment = segment.substr(segment.find('-') + 1);
    return httplib::detail::decode_url(segment, false);
}

std::string pathOf(const ThreeMembers &f, const std::string &url)
{
    const std::string base = f.server.serverUrl().toStdString();
    return url.rfind(base, 0) == 0 ? url.substr(base.size()) : std::string();
}

} // namespace

class TestServerMessaging : public QObject
{
    Q_OBJECT
private slots:
    // A server refusing a body early closes the socket while the client may still be writing.
    void initTestCase() { std::signal(SIGPIPE, SIG_IGN); }


    void conversationsNewestFirst()
    {
        ThreeMembers f;
        QVERIFY(f.start());
        Api &api = *f.api;
        // A friend without messages is listed without a last message; strangers who never talked are not listed.
        json bob = conversationWith(api, f.alice, f.bobId);
        QVERIFY(bob.is_object() && bob["id"].is_string());
        COMPARE_JSON(bob["friendshipStatus"], "friend");
        COMPARE_JSON(bob["unreadCount"], 0);
        COMPARE_JSON(bob["participant"]["name"], "Боб");
        QVERIFY(!bob.contains("lastMessage"));
        QVERIFY(conversationWith(api, f.bob, f.carolId).is_null());

        Reply r = send(api, f.alice, f.bobId, "hello Bob");
        QCOMPARE(r.status, 200);
        json stored = r.json["message"];
        QVERIFY(stored["id"].is_string());
        QVERIFY(std::regex_match(stored["createdAt"].get<std::string>(), timestamp));
        stored.erase("id");
        stored.erase("createdAt");
        COMPARE_JSON(stored, (json{{"content", "hello Bob"}, {"senderId", f.aliceId}, {"isMine", true}, {"isRead", false}}));

        QCOMPARE(send(api, f.alice, f.carolId, "hello Carol").status, 200);
        const json list = api.get("/api/mobile/conversations", f.alice).json["conversations"];
        QCOMPARE(list.size(), 2u);
        COMPARE_JSON(list[0]["participant"]["id"], f.carolId);
        COMPARE_JSON(list[0]["lastMessage"]["content"], "hello Carol");
        COMPARE_JSON(list[0]["lastMessage"]["isMine"], true);
        QVERIFY(std::regex_match(list[0]["lastMessageAt"].get<std::string>(), timestamp));
        // The other side's message moving a conversation up is the end-to-end test's (tst_messaging_e2e).
    }

    void unreadCountsAndReading()
    {
        ThreeMembers f;
        QVERIFY(f.start());
        Api &api = *f.api;
        for (const char *text : {"one", "two", "three"})
            QCOMPARE(send(api, f.bob, f.aliceId, text).status, 200);
        QCOMPARE(unread(api, f.alice), 3);
        QCOMPARE(unread(api, f.bob), 0);
        COMPARE_JSON(conversationWith(api, f.alice, f.bobId)["unreadCount"], 3);

        const Reply list = api.get("/api/mobile/messages?participantId=" + f.bobId, f.alice);
        QCOMPARE(list.status, 200);
        COMPARE_JSON(list.json["hasMore"], false);
        const json &messages = list.json["messages"];
        QCOMPARE(messages.size(), 3u);
        COMPARE_JSON(messages[0]["content"], "one"); // oldest first
        COMPARE_JSON(messages[2]["content"], "three");
        COMPARE_JSON(messages[0]["isMine"], false);
        COMPARE_JSON(messages[0]["senderId"], f.bobId);

        // Fetching marked them read, for both sides.
        QCOMPARE(unread(api, f.alice), 0);
        COMPARE_JSON(conversationWith(api, f.alice, f.bobId)["unreadCount"], 0);
        const json bobView = messagesWith(api, f.bob, f.aliceId);
        COMPARE_JSON(bobView[2]["isRead"], true);
        COMPARE_JSON(bobView[2]["isMine"], true);
        // Only the other side's messages are marked: Alice's reply stays unread for Bob.
        QCOMPARE(send(api, f.alice, f.bobId, "reply").status, 200);
        messagesWith(api, f.alice, f.bobId);
        QCOMPARE(unread(api, f.bob), 1);
    }

    void refusedMessages()
    {
        ThreeMembers f;
        QVERIFY(f.start());
        Api &api = *f.api;
        // Only friends can send.
        const Reply stranger = send(api, f.bob, f.carolId, "hi stranger");
        QCOMPARE(stranger.status, 403);
        COMPARE_JSON(stranger.json["success"], false);
        QVERIFY(messagesWith(api, f.carol, f.bobId).empty());

        const std::pair<json, int> bodies[] = {
            {{{"participantId", "no-such-member"}, {"content", "x"}}, 404},
            {{{"participantId", "' OR '1'='1"}, {"content", "x"}}, 404},
            {{{"participantId", f.aliceId}, {"content", "note to self"}}, 400},
            {{{"participantId", f.bobId}, {"content", ""}}, 400},
            {{{"participantId", f.bobId}}, 400},
            {{{"participantId", f.bobId}, {"content", 42}}, 400},
            {{{"participantId", f.bobId}, {"content", std::string(64 * 1024 + 1, 'x')}}, 413},
        };
        for (const auto &[body, status] : bodies)
            QVERIFY2(api.post("/api/mobile/messages", body, f.alice).status == status, body.dump().substr(0, 80).c_str());
        for (const auto &[query, status] : {std::pair{"", 400}, {"?participantId=nobody", 404},
                                            {"?participantId=%27%20OR%20%271%27%3D%271", 404}})
            QVERIFY2(api.get(std::string("/api/mobile/messages") + query, f.alice).status == status, query);

        // SQL metacharacters are stored and matched literally.
        const std::string tricky = "'); DROP TABLE messages; -- \" % _ \\ ' OR 1=1";
        QCOMPARE(send(api, f.alice, f.bobId, tricky).status, 200);
        const json list = messagesWith(api, f.bob, f.aliceId);
        QCOMPARE(list.size(), 1u);
        COMPARE_JSON(list[0]["content"], tricky);
        QCOMPARE(unread(api, f.bob), 0); // reading above marked it; the table is still there
    }

    void attachmentLink()
    {
        ThreeMembers f;
        QVERIFY(f.start());
        Api &api = *f.api;
        const Reply up = api.upload("notes.txt", "some notes", f.alice);
        QCOMPARE(up.status, 200);
        const std::string url = str(up.json["downloadUrl"]);
        const json sent{{"participantId", f.bobId}, {"content", ""}, {"attachmentUrl", url}, {"attachmentType", "text/plain"}};
        QCOMPARE(api.post("/api/mobile/messages", sent, f.alice).status, 200);
        const json m = messagesWith(api, f.bob, f.aliceId)[0];
        COMPARE_JSON(m["content"], "");
        COMPARE_JSON(m["attachmentUrl"], url);
        COMPARE_JSON(m["attachmentType"], "text/plain");
        json file = m["attachedFile"];
        file.erase("id");
        COMPARE_JSON(file, (json{{"name", "notes.txt"}, {"size", 10}, {"mimeType", "text/plain"},
                                 {"uploadStatus", "uploaded"}, {"downloadUrl", url}}));
    }

    // The name as sent, the name kept (path tricks and header breakers taken out), and the type served.
    void uploadIsServedBackWithTypeAndName()
    {
        ThreeMembers f;
        QVERIFY(f.start());
        std::string content;
        for (int i = 0; i < 256; ++i)
            content += char(i);
        struct Case {
            std::string sent, kept, mime;
        };
        for (const Case &c : {Case{"report.pdf", "report.pdf", "application/pdf"}, {"Отчёт за май.PNG", "Отчёт за май.PNG", "image/png"},
                              {"my-file-name.zip", "my-file-name.zip", "application/zip"},
                              {"no extension", "no extension", "application/octet-stream"},
                              {"../../escape.txt", "escape.txt", "text/plain"}, {"..\\..\\win.txt", "win.txt", "text/plain"},
                              {"/etc/passwd", "passwd", "application/octet-stream"}, {"..", "file", "application/octet-stream"},
                              {"a%22b.txt", "a\"b.txt", "text/plain"}, {"line%0Abreak.txt", "linebreak.txt", "text/plain"}}) {
            const Reply r = f.api->upload(c.sent, content, f.alice);
            QCOMPARE(r.status, 200);
            COMPARE_JSON(r.json["success"], true);
            COMPARE_JSON(r.json["fileName"], c.kept);
            COMPARE_JSON(r.json["fileSize"], 256);
            COMPARE_JSON(r.json["mimeType"], c.mime);
            const std::string url = str(r.json["downloadUrl"]);
            COMPARE_JSON(nameFromLink(url), c.kept);
            QVERIFY(url.find(' ') == std::string::npos);

            const Reply file = f.api->get(pathOf(f, url));
            QCOMPARE(file.status, 200);
            QVERIFY(file.body == content);
            COMPARE_JSON(file.header("Content-Type"), c.mime);
            const std::string disposition = file.header("Content-Disposition");
            QVERIFY(disposition.rfind("attachment; filename=\"", 0) == 0);
            const std::string marker = "; filename*=UTF-8''";
            const auto at = disposition.find(marker);
            QVERIFY(at != std::string::npos);
            COMPARE_JSON(httplib::detail::decode_url(disposition.substr(at + marker.size()), false), c.kept);
            // A quote in the name must not end the quoted fallback early. (The test client decodes
            // percent-escapes in header values, so only the fallback part is looked at.)
            QCOMPARE(std::count(disposition.begin(), disposition.begin() + at, '"'), 2);
            QVERIFY(disposition.find('\n') == std::string::npos);
        }
        // Stored files are named by random ids only, and nothing was written beside the data folder.
        const QDir data(f.server.dataFolder());
        for (const QString &stored : QDir(data.filePath("files")).entryList(QDir::Files))
            QVERIFY2(std::regex_match(stored.toStdString(), std::regex("[0-9a-f]{32}")), qPrintable(stored));
        QVERIFY(!data.exists("escape.txt") && !data.exists("../escape.txt"));

        for (const char *path : {"/content/files/../theorvane.sqlite3", "/content/files/%2e%2e%2ftheorvane.sqlite3",
                                 "/content/avatars/..%2ftheorvane.sqlite3", "/content/avatars/.hidden",
                                 "/content/files/0123456789abcdef0123456789abcdef-x-y", "/content/theorvane.sqlite3"}) {
            const Reply r = f.api->get(path);
            QVERIFY2(r.status == 404 && r.body.find("SQLite") == std::string::npos, path);
        }
    }

    // Over the limit, not a form, no file field. (No token and a body only claiming to be huge are refused
    // before routing: tst_server_accounts.)
    void refusedUploads()
    {
        ThreeMembers f;
        QVERIFY(f.start());
        Api &api = *f.api;
        // Exactly 10 MB is accepted through the client (tst_messaging_e2e: fileSizeLimit).
        QCOMPARE(api.upload("empty.txt", "", f.alice).status, 200);
        Reply r = api.upload("over.bin", std::string(10485761, 'a'), f.alice);
        QCOMPARE(r.status, 413);
        COMPARE_JSON(r.json["success"], false);
        QVERIFY(r.json["error"].is_string());
        // Far over the limit: refused before the body is read.
        r = api.upload("huge.bin", std::string(12 * 1024 * 1024, 'a'), f.alice);
        QCOMPARE(r.status, 413);
        QVERIFY(r.json["error"].is_string());
        QCOMPARE(api.postRaw("/api/mobile/files/upload", "plain", "text/plain", f.alice).status, 415);
        httplib::Client client("127.0.0.1", f.server.port());
        const httplib::MultipartFormDataItems wrongField{{"attachment", "x", "a.txt", "text/plain"}};
        const auto wrong = client.Post("/api/mobile/files/upload", {{"Authorization", "Bearer " + f.alice}}, wrongField);
        QVERIFY(wrong);
        QCOMPARE(wrong->status, 400);
        QCOMPARE(api.get("/api/mobile/profile", f.alice).status, 200);
    }
};

QTEST_GUILESS_MAIN(TestServerMessaging)
#include "tst_server_messaging.moc"
