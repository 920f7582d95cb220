// Conversations, messages and unread counts.
#include "ServerTest.h"

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

} // namespace

class TestServerMessaging : public QObject
{
    Q_OBJECT
private slots:
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
};

QTEST_GUILESS_MAIN(TestServerMessaging)
#include "tst_server_messaging.moc"
