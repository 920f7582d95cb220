// Sign-in, tokens, the command line, request errors and the server's life cycle.
#include "ServerTest.h"

#include <atomic>
#include <csignal>
#include <map>
#include <regex>
#include <set>
#include <thread>

namespace {
bool isErrorBody(const Reply &r)
{
    return r.json.is_object() && r.json.value("success", true) == false && r.json["error"].is_string();
}
} // namespace

class TestServerAccounts : public QObject
{
    Q_OBJECT
private slots:
    // A server refusing a body early closes the socket while the client may still be writing.
    void initTestCase() { std::signal(SIGPIPE, SIG_IGN); }

    // Sign-in, token checks and the profile they lead to.
    void signInAndTokens()
    {
        ThreeMembers f;
        QVERIFY(f.start());
        const Reply r = f.api->post("/api/mobile/auth", {{"action", "login"}, {"email", "ALICE@example.test"}, {"password", "alice-password"}});
        QCOMPARE(r.status, 200);
        const std::string token = r.json.value("token", "");
        QVERIFY(std::regex_match(token, std::regex("[0-9a-f]{64}")));
        QVERIFY(token != f.alice); // every sign-in gets its own token
        json rest = r.json;
        rest.erase("token");
        QVERIFY(rest["user"]["numericId"].is_number_integer());
        rest["user"].erase("numericId");
        COMPARE_JSON(rest, (json{{"success", true}, {"requiresVerification", false},
                                 {"user", {{"id", f.aliceId}, {"email", "alice@example.test"}, {"name", "Alice"},
                                           {"username", "alice"}, {"emailVerified", true}}}}));

        struct Attempt {
            const char *email;
            const char *password;
        };
        for (const Attempt a : {Attempt{"alice@example.test", "wrong"}, Attempt{"nobody@example.test", "alice-password"},
                                Attempt{"alice@example.test", ""}, Attempt{"' OR '1'='1", "' OR '1'='1"}}) {
            const Reply refused = f.api->post("/api/mobile/auth", {{"action", "login"}, {"email", a.email}, {"password", a.password}});
            QCOMPARE(refused.status, 401);
            QVERIFY(isErrorBody(refused));
            QVERIFY(!refused.json["error"].get<std::string>().empty());
            QVERIFY(!refused.json.contains("token"));
        }

        // Missing fields or an unknown action are bad requests.
        for (const json &body : {json{{"action", "login"}, {"email", "alice@example.test"}},
                                 json{{"action", "login"}, {"email", 5}, {"password", "x"}}, json{{"action", "check"}},
                                 json{{"action", "logout"}}, json{{"email", "alice@example.test"}, {"password", "alice-password"}}}) {
            const Reply r = f.api->post("/api/mobile/auth", body);
            QCOMPARE(r.status, 400);
            QVERIFY(isErrorBody(r));
        }

        // A valid token checks out in every test's set-up (ThreeMembers); these do not.
        for (const char *bad : {"", "0000", "' OR 1=1 --"}) {
            const Reply r = f.api->post("/api/mobile/auth", {{"action", "check"}, {"token", bad}});
            QCOMPARE(r.status, 200);
            COMPARE_JSON(r.json["success"], false);
            QVERIFY(!r.json.contains("user"));
        }

        const Reply profile = f.api->get("/api/mobile/profile", f.bob);
        QCOMPARE(profile.status, 200);
        const json &p = profile.json["profile"];
        for (const auto &[key, value] : {std::pair<const char *, json>{"id", f.bobId}, {"email", "bob@example.test"},
                                         {"name", "Боб"}, {"lastName", "Браун"}, {"isPrivate", false}})
            COMPARE_JSON(p[key], value);
        QVERIFY(std::regex_match(p["createdAt"].get<std::string>(), std::regex(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{6}Z)")));
        QVERIFY(!p.contains("bio")); // absent fields are left out, never null
    }

    // The command line fills the data folder; an unverified member signs in with requiresVerification; the
    // request log never shows a token.
    void commandLineAndRequestLog()
    {
        ReferenceServer server;
        server.setDemo(false);
        const std::pair<QStringList, int> commands[] = {
            {{"--add-member", "a@example.test", "pw", "A"}, 0},
            {{"--unverified", "--add-member", "new@example.test", "pw", "New Member"}, 0},
            {{"--add-member", "A@EXAMPLE.test", "pw", "A"}, 1}, // the same e-mail in other letters
            {{"--add-member", "not-an-email", "pw", "A"}, 1},
            {{"--befriend", "a@example.test", "b@example.test"}, 1},
            {{"--befriend", "a@example.test", "a@example.test"}, 1},
            {{"--port", "99999"}, 2},
            {{"--bogus"}, 2},
        };
        for (const auto &[arguments, code] : commands)
            QVERIFY2(server.runCommand(arguments) == code, qPrintable(arguments.join(' ')));

        QVERIFY2(server.start({"--log-requests"}), qPrintable(server.error()));
        Api api(server.port());
        const Reply r = api.post("/api/mobile/auth", {{"action", "login"}, {"email", "new@example.test"}, {"password", "pw"}});
        QCOMPARE(r.status, 200);
        COMPARE_JSON(r.json["requiresVerification"], true);
        COMPARE_JSON(r.json["user"]["emailVerified"], false);
        const std::string token = r.json.value("token", "");
        QVERIFY(!token.empty());
        QCOMPARE(api.get("/api/mobile/profile", token).status, 200);
        QByteArray printed;
        QCOMPARE(server.stop(&printed), 0);
        // Each request is logged once answered, from the thread that answered it: the order is not fixed.
        QVERIFY2(printed.contains("POST /api/mobile/auth 200\n") && printed.contains("GET /api/mobile/profile 200\n"),
                 printed.constData());
        QVERIFY(!printed.contains(token.c_str()));
    }

    // Before any route's own logic: a token, a known route and method, a JSON object of bounded size.
    void requestErrors()
    {
        ThreeMembers f;
        QVERIFY(f.start());
        for (const auto &[method, path] : {std::pair{"GET", "/api/mobile/profile"}, {"GET", "/api/mobile/notifications?limit=1"},
                                           {"GET", "/api/mobile/conversations"}, {"GET", "/api/mobile/messages?participantId=x"},
                                           {"POST", "/api/mobile/messages"}, {"POST", "/api/mobile/files/upload"},
                                           {"GET", "/api/mobile/calls"}, {"GET", "/api/mobile/calls?action=status&callId=x"},
                                           {"POST", "/api/mobile/calls"}}) {
            for (const std::string &token : {std::string(), std::string("not-a-token"), f.alice + "x"}) {
                const Reply r = f.api->send(method, path, token);
                QVERIFY2(r.status == 401 && isErrorBody(r), path);
            }
        }
        // The scheme must be Bearer.
        QVERIFY(rawExchange(f.server.port(), "GET /api/mobile/profile HTTP/1.1\r\nHost: x\r\nAuthorization: Basic "
                                             + QByteArray(f.alice.c_str()) + "\r\n\r\n")
                    .startsWith("HTTP/1.1 401"));

        for (const char *path : {"/", "/api/mobile", "/api/mobile/", "/api/mobile/friends", "/api/mobile/profile/x",
                                 "/content/", "/api/mobile/../mobile/profile"}) {
            const Reply r = f.api->get(path, f.alice);
            QVERIFY2(r.status == 404 && isErrorBody(r), path);
        }
        struct Case {
            const char *method, *path, *allow;
        };
        for (const Case &c : {Case{"POST", "/api/mobile/profile", "GET"}, Case{"DELETE", "/api/mobile/messages", "GET, POST"},
                              Case{"GET", "/api/mobile/auth", "POST"}, Case{"PUT", "/api/mobile/calls", "GET, POST"},
                              Case{"GET", "/api/mobile/files/upload", "POST"}, Case{"PATCH", "/api/mobile/conversations", "GET"}}) {
            const Reply r = f.api->send(c.method, c.path, f.alice);
            QCOMPARE(r.status, 405);
            COMPARE_JSON(r.header("Allow"), c.allow);
            QVERIFY(isErrorBody(r));
        }
        for (const std::string body : {"{bad", "", "[1,2]", "\"text\"", "null", "{\"content\": \"\xff\xfe\"}", "{\"a\":1} trailing"}) {
            for (const char *path : {"/api/mobile/messages", "/api/mobile/calls", "/api/mobile/auth"}) {
                const Reply r = f.api->postRaw(path, body, "application/json", f.alice);
                QVERIFY2(r.status == 400 && isErrorBody(r), qPrintable(QString::fromStdString(body)));
            }
        }

        // Over the JSON cap but under the upload cap: read, then refused.
        const Reply r = f.api->postRaw("/api/mobile/messages", "{\"pad\":\"" + std::string(2 * 1024 * 1024, 'a') + "\"}",
                                       "application/json", f.alice);
        QCOMPARE(r.status, 413);
        QVERIFY(isErrorBody(r));
        // Over every cap: refused from the headers alone.
        const QByteArray huge = rawExchange(f.server.port(), "POST /api/mobile/files/upload HTTP/1.1\r\nHost: x\r\n"
                                                             "Content-Length: 99999999999\r\nContent-Type: application/json\r\n\r\n{");
        QVERIFY(huge.startsWith("HTTP/1.1 413") && huge.contains("\"success\":false"));
        // Chunked bodies have no length to check up front.
        QVERIFY(rawExchange(f.server.port(), "POST /api/mobile/auth HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n"
                                             "Content-Type: application/json\r\n\r\n5\r\n{\"a\":\r\n")
                    .startsWith("HTTP/1.1 411"));
        QCOMPARE(f.api->get("/api/mobile/profile", f.alice).status, 200);
    }

    void twoClientsAtOnce()
    {
        ThreeMembers f;
        QVERIFY(f.start());
        std::atomic<int> failures{0}, sent{0};
        auto client = [&, port = f.server.port()](const std::string &token, const std::string &peer) {
            Api api(port);
            for (int i = 0; i < 40; ++i) {
                for (const char *path : {"/api/mobile/notifications?limit=1", "/api/mobile/conversations", "/api/mobile/calls"})
                    failures += api.get(path, token).status != 200;
                if (api.post("/api/mobile/messages", {{"participantId", peer}, {"content", "m" + std::to_string(i)}}, token).status == 200)
                    ++sent;
                else
                    ++failures;
                failures += api.get("/api/mobile/messages?participantId=" + peer, token).status != 200;
            }
        };
        std::thread a(client, f.alice, f.bobId);
        std::thread b(client, f.bob, f.aliceId);
        a.join();
        b.join();
        QCOMPARE(failures.load(), 0);
        const json messages = f.api->get("/api/mobile/messages?participantId=" + f.bobId, f.alice).json["messages"];
        QCOMPARE(int(messages.size()), sent.load());
        std::set<std::string> ids;
        for (const auto &m : messages)
            ids.insert(m["id"].get<std::string>());
        QCOMPARE(ids.size(), messages.size());
    }

    // The demo data: every friendship state, a history, avatars on the content path, seeded once. A restart
    // keeps tokens, messages and files.
    void demoDataAndRestart()
    {
        ReferenceServer server;
        std::string token;
        const auto census = [&server, &token] { // friendship states and messages, as Anna sees them
            Api api(server.port());
            std::map<std::string, int> states;
            size_t messages = 0;
            const Reply list = api.get("/api/mobile/conversations", token);
            for (const auto &c : list.json["conversations"]) {
                ++states[str(c["friendshipStatus"])];
                messages += api.get("/api/mobile/messages?participantId=" + str(c["participant"]["id"]), token).json["messages"].size();
            }
            return std::make_pair(states, messages);
        };
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.startupOutput().contains("demo sign-in: anna@demo.theorvane.example / demo1234"));
        QVERIFY(server.startupOutput().contains("THEORVANE_CONTENT_URL=" + server.serverUrl().toUtf8() + "/content/"));
        std::string fileUrl;
        {
            Api api(server.port());
            token = api.login("anna@demo.theorvane.example", "demo1234");
            QVERIFY(api.get("/api/mobile/notifications?limit=1", token).json.value("unreadCount", 0) > 0);
            const Reply image = api.get("/content/" + str(api.me(token)["avatar"]));
            QCOMPARE(image.status, 200);
            COMPARE_JSON(image.header("Content-Type"), "image/png");
            QVERIFY(image.body.rfind("\x89PNG", 0) == 0);
            const std::string boris = str(api.me(api.login("boris@demo.theorvane.example", "demo1234"))["id"]);
            QCOMPARE(api.post("/api/mobile/messages", {{"participantId", boris}, {"content", "kept"}}, token).status, 200);
            fileUrl = str(api.upload("kept.txt", "still here", token).json["downloadUrl"]);
        }
        const auto first = census();
        for (const char *state : {"friend", "pending_incoming", "pending_outgoing", "none"})
            QVERIFY2(first.first.count(state), state);
        QVERIFY(first.second >= 200);

        QByteArray printed;
        QCOMPARE(server.stop(&printed), 0);
        QVERIFY(printed.contains("theorvane-server: stopped"));
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(census() == first);
        const Reply file = Api(server.port()).get("/content/files" + fileUrl.substr(fileUrl.rfind('/')));
        QCOMPARE(file.status, 200);
        COMPARE_JSON(file.body, "still here");
    }
};

QTEST_GUILESS_MAIN(TestServerAccounts)
#include "tst_server_accounts.moc"
