#include "Fixture.h"
#include "TestHarness.h"

#include <atomic>
#include <set>
#include <thread>

namespace {

bool isErrorBody(const Reply &r)
{
    return r.json.is_object() && r.json.value("success", true) == false && r.json["error"].is_string();
}

} // namespace

TEST_CASE("errors", "routes that need a token answer 401 without one or with a bad one")
{
    ThreeMembers f;
    struct Route {
        const char *method;
        const char *path;
    };
    const Route routes[] = {
        {"GET", "/api/mobile/profile"},       {"GET", "/api/mobile/notifications?limit=1"},
        {"GET", "/api/mobile/conversations"}, {"GET", "/api/mobile/messages?participantId=x"},
        {"POST", "/api/mobile/messages"},     {"POST", "/api/mobile/files/upload"},
        {"GET", "/api/mobile/calls"},         {"GET", "/api/mobile/calls?action=status&callId=x"},
        {"POST", "/api/mobile/calls"},
    };
    for (const auto &route : routes) {
        for (const std::string &token : std::vector<std::string>{"", "not-a-token", f.alice + "x"}) {
            const Reply r = f.api->send(route.method, route.path, token);
            CHECK_EQ(r.status, 401);
            CHECK(isErrorBody(r));
        }
    }
    // The scheme must be Bearer.
    httplib::Client client("127.0.0.1", f.server->port());
    auto r = client.Get("/api/mobile/profile", {{"Authorization", "Basic " + f.alice}});
    REQUIRE(r);
    CHECK_EQ(r->status, 401);
}

TEST_CASE("errors", "unknown routes 404 and wrong methods 405, both as JSON")
{
    ThreeMembers f;
    for (const char *path : {"/", "/api/mobile", "/api/mobile/", "/api/mobile/friends", "/api/mobile/profile/x",
                             "/content/", "/api/mobile/../mobile/profile"}) {
        const Reply r = f.api->get(path, f.alice);
        CHECK_EQ(r.status, 404);
        CHECK(isErrorBody(r));
    }
    struct Case {
        const char *method;
        const char *path;
        const char *allow;
    };
    for (const Case &c : {Case{"POST", "/api/mobile/profile", "GET"}, Case{"DELETE", "/api/mobile/messages", "GET, POST"},
                          Case{"GET", "/api/mobile/auth", "POST"}, Case{"PUT", "/api/mobile/calls", "GET, POST"},
                          Case{"GET", "/api/mobile/files/upload", "POST"}, Case{"PATCH", "/api/mobile/conversations", "GET"}}) {
        const Reply r = f.api->send(c.method, c.path, f.alice);
        CHECK_EQ(r.status, 405);
        CHECK_EQ(r.header("Allow"), c.allow);
        CHECK(isErrorBody(r));
    }
}

TEST_CASE("errors", "bodies that are not a JSON object are 400")
{
    ThreeMembers f;
    for (const std::string &body : std::vector<std::string>{"{bad", "", "[1,2]", "\"text\"", "null", "{\"content\": \"\xff\xfe\"}",
                                   "{\"a\":1} trailing"}) {
        for (const char *path : {"/api/mobile/messages", "/api/mobile/calls", "/api/mobile/auth"}) {
            const Reply r = f.api->postRaw(path, body, "application/json", f.alice);
            CHECK_EQ(r.status, 400);
            CHECK(isErrorBody(r));
        }
    }
}

TEST_CASE("errors", "oversized or unbounded bodies are refused")
{
    ThreeMembers f;
    // Over the JSON cap but under the upload cap: read, then refused.
    Reply r = f.api->postRaw("/api/mobile/messages", "{\"pad\":\"" + std::string(2 * 1024 * 1024, 'a') + "\"}",
                             "application/json", f.alice);
    CHECK_EQ(r.status, 413);
    CHECK(isErrorBody(r));
    // Over every cap: refused from the headers alone.
    const std::string answer = rawExchange(f.server->port(),
                                           "POST /api/mobile/messages HTTP/1.1\r\nHost: x\r\nContent-Length: "
                                           "99999999999\r\nContent-Type: application/json\r\n\r\n{");
    CHECK(answer.rfind("HTTP/1.1 413", 0) == 0);
    // Chunked bodies have no length to check up front.
    const std::string chunked = rawExchange(f.server->port(),
                                            "POST /api/mobile/auth HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: "
                                            "chunked\r\nContent-Type: application/json\r\n\r\n5\r\n{\"a\":\r\n");
    CHECK(chunked.rfind("HTTP/1.1 411", 0) == 0);
    CHECK_EQ(f.api->get("/api/mobile/profile", f.alice).status, 200);
}

TEST_CASE("errors", "two clients polling at once all get consistent answers")
{
    ThreeMembers f;
    const int port = f.server->port();
    std::atomic<int> failures{0};
    std::atomic<int> sent{0};
    auto client = [&](const std::string &token, const std::string &peer) {
        Api api(port);
        for (int i = 0; i < 40; ++i) {
            if (api.get("/api/mobile/notifications?limit=1", token).status != 200)
                ++failures;
            if (api.get("/api/mobile/conversations", token).status != 200)
                ++failures;
            if (api.get("/api/mobile/calls", token).status != 200)
                ++failures;
            if (api.post("/api/mobile/messages", {{"participantId", peer}, {"content", "m" + std::to_string(i)}}, token)
                    .status
                != 200)
                ++failures;
            else
                ++sent;
            if (api.get("/api/mobile/messages?participantId=" + peer, token).status != 200)
                ++failures;
        }
    };
    std::thread a(client, f.alice, f.bobId);
    std::thread b(client, f.bob, f.aliceId);
    a.join();
    b.join();
    CHECK_EQ(failures.load(), 0);
    const auto messages = f.api->get("/api/mobile/messages?participantId=" + f.bobId, f.alice).json["messages"];
    CHECK_EQ(messages.size(), static_cast<size_t>(sent.load()));
    // Every message id is distinct, and order follows creation.
    std::set<std::string> ids;
    for (const auto &m : messages)
        ids.insert(m["id"].get<std::string>());
    CHECK_EQ(ids.size(), messages.size());
}

TEST_CASE("errors", "SIGTERM stops the server cleanly and nothing stored is lost")
{
    TempDir dir;
    const std::string data = dir.path().string();
    REQUIRE(runServerCommand({"--data", data, "--add-member", "a@example.test", "pw-a", "A"}).exitCode == 0);
    REQUIRE(runServerCommand({"--data", data, "--add-member", "b@example.test", "pw-b", "B"}).exitCode == 0);
    REQUIRE(runServerCommand({"--data", data, "--befriend", "a@example.test", "b@example.test"}).exitCode == 0);
    std::string token, bId, fileUrl;
    {
        ServerProcess server(dir.path());
        CHECK(server.startupOutput().find("THEORVANE_CONTENT_URL=" + server.baseUrl() + "/content/") != std::string::npos);
        Api api(server.port());
        token = api.login("a@example.test", "pw-a");
        bId = api.me(api.login("b@example.test", "pw-b"))["id"];
        for (int i = 0; i < 25; ++i)
            REQUIRE(api.post("/api/mobile/messages", {{"participantId", bId}, {"content", std::to_string(i)}}, token).status
                    == 200);
        fileUrl = api.upload("kept.txt", "still here", token).json["downloadUrl"];
        const CommandResult stopped = server.stop();
        CHECK_EQ(stopped.exitCode, 0);
        CHECK(stopped.output.find("theorvane-server: stopped") != std::string::npos);
    }
    ServerProcess again(dir.path());
    Api api(again.port());
    // Tokens survive a restart; so do messages and files (links follow the new port).
    const Reply list = api.get("/api/mobile/messages?participantId=" + bId, token);
    REQUIRE(list.status == 200);
    CHECK_EQ(list.json["messages"].size(), 25u);
    CHECK_EQ(list.json["messages"][24]["content"], "24");
    const std::string segment = fileUrl.substr(fileUrl.rfind('/'));
    const Reply file = api.get("/content/files" + segment);
    CHECK_EQ(file.status, 200);
    CHECK_EQ(file.body, "still here");
}
