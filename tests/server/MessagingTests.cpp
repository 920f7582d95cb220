#include "Fixture.h"
#include "TestHarness.h"

#include <map>
#include <regex>

namespace {

const std::regex kTimestamp(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{6}Z)");

int64_t unread(Api &api, const std::string &token)
{
    return api.get("/api/mobile/notifications?limit=1", token).json["unreadCount"].get<int64_t>();
}

nlohmann::json conversationWith(Api &api, const std::string &token, const std::string &otherId)
{
    const Reply r = api.get("/api/mobile/conversations", token);
    for (const auto &c : r.json["conversations"]) {
        if (c["participant"]["id"] == otherId)
            return c;
    }
    return nullptr;
}

Reply send(Api &api, const std::string &token, const std::string &to, const std::string &text)
{
    return api.post("/api/mobile/messages", {{"participantId", to}, {"content", text}}, token);
}

} // namespace

TEST_CASE("messaging", "a friend without messages is listed with no last message")
{
    ThreeMembers f;
    const auto c = conversationWith(*f.api, f.alice, f.bobId);
    REQUIRE(c.is_object());
    CHECK_EQ(c["friendshipStatus"], "friend");
    CHECK_EQ(c["unreadCount"], 0);
    CHECK(!c.contains("lastMessage"));
    CHECK(c["id"].is_string());
    CHECK_EQ(c["participant"]["name"], "Боб");
    // Bob and Carol are strangers who never talked: neither lists the other.
    CHECK(conversationWith(*f.api, f.bob, f.carolId).is_null());
}

TEST_CASE("messaging", "unread counts move with sending and fetching marks read")
{
    ThreeMembers f;
    Api &api = *f.api;
    for (const char *text : {"one", "two", "three"})
        REQUIRE(send(api, f.bob, f.aliceId, text).status == 200);
    CHECK_EQ(unread(api, f.alice), 3);
    CHECK_EQ(unread(api, f.bob), 0);
    CHECK_EQ(conversationWith(api, f.alice, f.bobId)["unreadCount"], 3);

    const Reply list = api.get("/api/mobile/messages?participantId=" + f.bobId, f.alice);
    REQUIRE(list.status == 200);
    const auto &messages = list.json["messages"];
    REQUIRE(messages.size() == 3);
    CHECK_EQ(messages[0]["content"], "one"); // oldest first
    CHECK_EQ(messages[2]["content"], "three");
    CHECK_EQ(messages[0]["isMine"], false);
    CHECK_EQ(messages[0]["senderId"], f.bobId);
    CHECK(std::regex_match(messages[0]["createdAt"].get<std::string>(), kTimestamp));
    CHECK_EQ(list.json["hasMore"], false);

    CHECK_EQ(unread(api, f.alice), 0);
    CHECK_EQ(conversationWith(api, f.alice, f.bobId)["unreadCount"], 0);
    // Bob sees his messages as read, and as his.
    const auto bobView = api.get("/api/mobile/messages?participantId=" + f.aliceId, f.bob).json["messages"];
    CHECK_EQ(bobView[2]["isRead"], true);
    CHECK_EQ(bobView[2]["isMine"], true);
    // Fetching marks only the other side's messages: Alice's reply stays unread for Bob.
    REQUIRE(send(api, f.alice, f.bobId, "reply").status == 200);
    api.get("/api/mobile/messages?participantId=" + f.bobId, f.alice);
    CHECK_EQ(unread(api, f.bob), 1);
}

TEST_CASE("messaging", "sending returns the stored message and the conversation shows it newest first")
{
    ThreeMembers f;
    Api &api = *f.api;
    Reply r = send(api, f.alice, f.bobId, "hello Bob");
    REQUIRE(r.status == 200);
    CHECK_EQ(r.json["success"], true);
    const auto &m = r.json["message"];
    CHECK(m["id"].is_string());
    CHECK_EQ(m["content"], "hello Bob");
    CHECK_EQ(m["senderId"], f.aliceId);
    CHECK_EQ(m["isMine"], true);
    CHECK_EQ(m["isRead"], false);
    CHECK(!m.contains("attachmentUrl"));

    REQUIRE(send(api, f.alice, f.carolId, "hello Carol").status == 200);
    auto list = api.get("/api/mobile/conversations", f.alice).json["conversations"];
    REQUIRE(list.size() == 2);
    CHECK_EQ(list[0]["participant"]["id"], f.carolId);
    CHECK_EQ(list[0]["lastMessage"]["content"], "hello Carol");
    CHECK_EQ(list[0]["lastMessage"]["isMine"], true);
    CHECK(std::regex_match(list[0]["lastMessageAt"].get<std::string>(), kTimestamp));

    REQUIRE(send(api, f.bob, f.aliceId, "back to you").status == 200);
    list = api.get("/api/mobile/conversations", f.alice).json["conversations"];
    CHECK_EQ(list[0]["participant"]["id"], f.bobId);
    CHECK_EQ(list[0]["lastMessage"]["isMine"], false);
}

TEST_CASE("messaging", "only friends can send, and bad participants are refused")
{
    ThreeMembers f;
    Api &api = *f.api;
    Reply r = send(api, f.bob, f.carolId, "hi stranger");
    CHECK_EQ(r.status, 403);
    CHECK_EQ(r.json["success"], false);
    CHECK(api.get("/api/mobile/messages?participantId=" + f.bobId, f.carol).json["messages"].empty());

    CHECK_EQ(send(api, f.alice, "no-such-member", "x").status, 404);
    CHECK_EQ(send(api, f.alice, f.aliceId, "note to self").status, 400);
    CHECK_EQ(api.post("/api/mobile/messages", {{"participantId", f.bobId}, {"content", ""}}, f.alice).status, 400);
    CHECK_EQ(api.post("/api/mobile/messages", {{"participantId", f.bobId}}, f.alice).status, 400);
    CHECK_EQ(api.post("/api/mobile/messages", {{"participantId", f.bobId}, {"content", 42}}, f.alice).status, 400);
    CHECK_EQ(api.post("/api/mobile/messages", {{"participantId", f.bobId}, {"content", std::string(64 * 1024 + 1, 'x')}}, f.alice)
                 .status,
             413);
    CHECK_EQ(api.get("/api/mobile/messages", f.alice).status, 400);
    CHECK_EQ(api.get("/api/mobile/messages?participantId=nobody", f.alice).status, 404);
}

TEST_CASE("messaging", "SQL metacharacters are stored and matched literally")
{
    ThreeMembers f;
    Api &api = *f.api;
    const std::string tricky = "'); DROP TABLE messages; -- \" % _ \\ ' OR 1=1";
    Reply r = send(api, f.alice, f.bobId, tricky);
    REQUIRE(r.status == 200);
    const auto list = api.get("/api/mobile/messages?participantId=" + f.aliceId, f.bob).json["messages"];
    REQUIRE(list.size() == 1);
    CHECK_EQ(list[0]["content"], tricky);
    // An injected participant id matches nobody.
    CHECK_EQ(api.get("/api/mobile/messages?participantId=%27%20OR%20%271%27%3D%271", f.alice).status, 404);
    CHECK_EQ(send(api, f.alice, "' OR '1'='1", "x").status, 404);
    CHECK_EQ(unread(api, f.bob), 0); // reading above marked it; the table is still there
}

TEST_CASE("messaging", "a message with an attachment link carries it back")
{
    ThreeMembers f;
    Api &api = *f.api;
    Reply up = api.upload("notes.txt", "some notes", f.alice);
    REQUIRE(up.status == 200);
    const std::string url = up.json["downloadUrl"];
    Reply r = api.post("/api/mobile/messages",
                       {{"participantId", f.bobId},
                        {"content", ""},
                        {"attachmentUrl", url},
                        {"attachmentType", "text/plain"}},
                       f.alice);
    REQUIRE(r.status == 200);
    const auto m = api.get("/api/mobile/messages?participantId=" + f.aliceId, f.bob).json["messages"][0];
    CHECK_EQ(m["content"], "");
    CHECK_EQ(m["attachmentUrl"], url);
    CHECK_EQ(m["attachmentType"], "text/plain");
    CHECK_EQ(m["attachedFile"]["name"], "notes.txt");
    CHECK_EQ(m["attachedFile"]["size"], 10);
    CHECK_EQ(m["attachedFile"]["uploadStatus"], "uploaded");
    CHECK_EQ(m["attachedFile"]["downloadUrl"], url);
}

TEST_CASE("messaging", "demo data has every friendship state and seeding twice adds nothing")
{
    TempDir dir;
    auto counts = [&](ServerProcess &server) {
        Api api(server.port());
        const std::string token = api.login("anna@demo.theorvane.example", "demo1234");
        std::map<std::string, int> states;
        int messages = 0;
        const Reply list = api.get("/api/mobile/conversations", token);
        for (const auto &c : list.json["conversations"]) {
            ++states[c["friendshipStatus"].get<std::string>()];
            messages += static_cast<int>(
                api.get("/api/mobile/messages?participantId=" + c["participant"]["id"].get<std::string>(), token)
                    .json["messages"]
                    .size());
        }
        return std::make_pair(states, messages);
    };
    std::pair<std::map<std::string, int>, int> first;
    {
        ServerProcess server(dir.path(), {"--demo"});
        CHECK(server.startupOutput().find("demo sign-in: anna@demo.theorvane.example / demo1234") != std::string::npos);
        Api api(server.port());
        const std::string token = api.login("anna@demo.theorvane.example", "demo1234");
        REQUIRE(!token.empty());
        CHECK(api.get("/api/mobile/notifications?limit=1", token).json["unreadCount"].get<int>() > 0);
        // The avatar path resolves on the content path.
        const std::string avatar = api.me(token)["avatar"];
        const Reply image = api.get("/content/" + avatar);
        CHECK_EQ(image.status, 200);
        CHECK_EQ(image.header("Content-Type"), "image/png");
        CHECK(image.body.rfind("\x89PNG", 0) == 0);
        first = counts(server);
    }
    for (const char *state : {"friend", "pending_incoming", "pending_outgoing", "none"})
        CHECK(first.first[state] > 0);
    CHECK(first.second >= 200);
    ServerProcess again(dir.path(), {"--demo"});
    const auto second = counts(again);
    CHECK(second.first == first.first);
    CHECK_EQ(second.second, first.second);
}
