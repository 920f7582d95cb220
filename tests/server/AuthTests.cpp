#include "Fixture.h"
#include "TestHarness.h"

#include <regex>

TEST_CASE("auth", "sign-in returns a fresh token and the member")
{
    ThreeMembers f;
    Api &api = *f.api;
    const Reply r = api.post("/api/mobile/auth",
                             {{"action", "login"}, {"email", "ALICE@example.test"}, {"password", "alice-password"}});
    REQUIRE(r.status == 200);
    CHECK_EQ(r.json["success"], true);
    const std::string token = r.json["token"];
    CHECK(std::regex_match(token, std::regex("[0-9a-f]{64}")));
    CHECK(token != f.alice); // every sign-in gets its own token
    const auto &user = r.json["user"];
    CHECK_EQ(user["id"], f.aliceId);
    CHECK_EQ(user["email"], "alice@example.test");
    CHECK_EQ(user["name"], "Alice");
    CHECK_EQ(user["username"], "alice");
    CHECK_EQ(user["emailVerified"], true);
    CHECK(user["numericId"].is_number_integer());
    CHECK_EQ(r.json["requiresVerification"], false);
}

TEST_CASE("auth", "wrong credentials are refused with 401 and an error text")
{
    ThreeMembers f;
    struct Attempt {
        const char *email;
        const char *password;
    };
    for (const Attempt a : {Attempt{"alice@example.test", "wrong"}, Attempt{"nobody@example.test", "alice-password"},
                            Attempt{"alice@example.test", ""}, Attempt{"' OR '1'='1", "' OR '1'='1"}}) {
        const Reply r = f.api->post("/api/mobile/auth", {{"action", "login"}, {"email", a.email}, {"password", a.password}});
        CHECK_EQ(r.status, 401);
        CHECK_EQ(r.json["success"], false);
        CHECK(r.json["error"].is_string() && !r.json["error"].get<std::string>().empty());
        CHECK(!r.json.contains("token"));
    }
}

TEST_CASE("auth", "token check returns the member or success false")
{
    ThreeMembers f;
    Reply r = f.api->post("/api/mobile/auth", {{"action", "check"}, {"token", f.bob}});
    CHECK_EQ(r.status, 200);
    CHECK_EQ(r.json["success"], true);
    CHECK_EQ(r.json["user"]["id"], f.bobId);
    CHECK_EQ(r.json["user"]["name"], "Боб");

    for (const char *bad : {"", "0000", "' OR 1=1 --"}) {
        r = f.api->post("/api/mobile/auth", {{"action", "check"}, {"token", bad}});
        CHECK_EQ(r.status, 200);
        CHECK_EQ(r.json["success"], false);
        CHECK(!r.json.contains("user"));
    }
}

TEST_CASE("auth", "auth requests with missing fields or an unknown action are bad requests")
{
    ThreeMembers f;
    const nlohmann::json bodies[] = {
        {{"action", "login"}, {"email", "alice@example.test"}},
        {{"action", "login"}, {"email", 5}, {"password", "x"}},
        {{"action", "check"}},
        {{"action", "logout"}},
        {{"email", "alice@example.test"}, {"password", "alice-password"}},
    };
    for (const auto &body : bodies) {
        const Reply r = f.api->post("/api/mobile/auth", body);
        CHECK_EQ(r.status, 400);
        CHECK_EQ(r.json["success"], false);
    }
}

TEST_CASE("auth", "profile carries the full record of the signed-in member")
{
    ThreeMembers f;
    const Reply r = f.api->get("/api/mobile/profile", f.bob);
    REQUIRE(r.status == 200);
    const auto &p = r.json["profile"];
    CHECK_EQ(p["id"], f.bobId);
    CHECK_EQ(p["email"], "bob@example.test");
    CHECK_EQ(p["name"], "Боб");
    CHECK_EQ(p["lastName"], "Браун");
    CHECK_EQ(p["isPrivate"], false);
    CHECK(std::regex_match(p["createdAt"].get<std::string>(),
                           std::regex(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{6}Z)")));
    CHECK(!p.contains("bio")); // absent fields are left out, never null
}

TEST_CASE("auth", "administration commands refuse duplicates and unknown members")
{
    TempDir dir;
    const std::string data = dir.path().string();
    CHECK_EQ(runServerCommand({"--data", data, "--add-member", "a@example.test", "pw", "A"}).exitCode, 0);
    CHECK_EQ(runServerCommand({"--data", data, "--add-member", "A@EXAMPLE.test", "pw", "A"}).exitCode, 1);
    CHECK_EQ(runServerCommand({"--data", data, "--add-member", "not-an-email", "pw", "A"}).exitCode, 1);
    CHECK_EQ(runServerCommand({"--data", data, "--befriend", "a@example.test", "b@example.test"}).exitCode, 1);
    CHECK_EQ(runServerCommand({"--data", data, "--befriend", "a@example.test", "a@example.test"}).exitCode, 1);
    CHECK_EQ(runServerCommand({"--data", data, "--port", "99999"}).exitCode, 2);
    CHECK_EQ(runServerCommand({"--data", data, "--bogus"}).exitCode, 2);
}

TEST_CASE("auth", "an unverified member signs in with requiresVerification")
{
    TempDir dir;
    REQUIRE(runServerCommand({"--data", dir.path().string(), "--unverified", "--add-member", "new@example.test", "pw",
                              "New Member"})
                .exitCode
            == 0);
    ServerProcess server(dir.path(), {"--log-requests"});
    Api api(server.port());
    const Reply r = api.post("/api/mobile/auth", {{"action", "login"}, {"email", "new@example.test"}, {"password", "pw"}});
    REQUIRE(r.status == 200);
    CHECK_EQ(r.json["requiresVerification"], true);
    CHECK_EQ(r.json["user"]["emailVerified"], false);
    CHECK(r.json["token"].is_string());
    // The request log names method, path and status, and never the token.
    const CommandResult stopped = server.stop();
    CHECK(stopped.output.find("POST /api/mobile/auth 200") != std::string::npos);
    CHECK(stopped.output.find(r.json["token"].get<std::string>()) == std::string::npos);
}
