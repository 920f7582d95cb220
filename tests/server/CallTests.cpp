#include "Fixture.h"
#include "TestHarness.h"

#include <thread>

namespace {

const std::string kCalls = "/api/mobile/calls";

Reply act(Api &api, const std::string &token, nlohmann::json body)
{
    return api.post(kCalls, body, token);
}

Reply initiate(Api &api, const std::string &token, const std::string &callee)
{
    return act(api, token, {{"action", "initiate"}, {"calleeId", callee}, {"offer", "v=0 offer-sdp"}});
}

nlohmann::json status(Api &api, const std::string &token, const std::string &callId)
{
    const Reply r = api.get(kCalls + "?action=status&callId=" + callId, token);
    return r.status == 200 ? r.json["call"] : nlohmann::json();
}

nlohmann::json candidate(const std::string &line, const std::string &mid, int index)
{
    return {{"candidate", line}, {"sdpMid", mid}, {"sdpMLineIndex", index}};
}

} // namespace

TEST_CASE("calls", "a whole call: initiate, ring, answer, exchange candidates, end")
{
    ThreeMembers f;
    Api &api = *f.api;
    CHECK(api.get(kCalls, f.bob).json["incomingCall"].is_null());

    Reply r = initiate(api, f.alice, f.bobId);
    REQUIRE(r.status == 200);
    CHECK_EQ(r.json["success"], true);
    const std::string callId = r.json["callId"];

    // The callee's bare poll reports the ringing call with caller and offer; the caller's does not.
    const auto incoming = api.get(kCalls, f.bob).json["incomingCall"];
    REQUIRE(incoming.is_object());
    CHECK_EQ(incoming["id"], callId);
    CHECK_EQ(incoming["offer"], "v=0 offer-sdp");
    CHECK_EQ(incoming["caller"]["id"], f.aliceId);
    CHECK_EQ(incoming["caller"]["name"], "Alice Adams");
    CHECK_EQ(incoming["caller"]["username"], "alice");
    CHECK(api.get(kCalls, f.alice).json["incomingCall"].is_null());
    CHECK(api.get(kCalls, f.carol).json["incomingCall"].is_null());

    auto call = status(api, f.alice, callId);
    CHECK_EQ(call["status"], "ringing");
    CHECK_EQ(call["isCaller"], true);
    CHECK(!call.contains("answer"));
    CHECK(call["callerCandidates"].empty());
    CHECK_EQ(status(api, f.bob, callId)["isCaller"], false);

    // The caller's candidates go in while it rings.
    REQUIRE(act(api, f.alice, {{"action", "ice-candidate"}, {"callId", callId},
                               {"candidate", candidate("candidate:1 1 UDP 1 127.0.0.1 5000 typ host", "0", 0)}})
                .status == 200);
    REQUIRE(act(api, f.alice, {{"action", "ice-candidate"}, {"callId", callId},
                               {"candidate", {{"candidate", "candidate:2 1 UDP 1 127.0.0.1 5002 typ host"}}}})
                .status == 200);

    r = act(api, f.bob, {{"action", "answer"}, {"callId", callId}, {"answer", "v=0 answer-sdp"}});
    REQUIRE(r.status == 200);
    CHECK_EQ(r.json["success"], true);
    CHECK(api.get(kCalls, f.bob).json["incomingCall"].is_null());

    REQUIRE(act(api, f.bob, {{"action", "ice-candidate"}, {"callId", callId},
                             {"candidate", candidate("candidate:3 1 UDP 1 127.0.0.1 6000 typ host", "audio", 1)}})
                .status == 200);

    call = status(api, f.alice, callId);
    CHECK_EQ(call["status"], "active");
    CHECK_EQ(call["answer"], "v=0 answer-sdp");
    REQUIRE(call["callerCandidates"].size() == 2);
    CHECK_EQ(call["callerCandidates"][0]["candidate"], "candidate:1 1 UDP 1 127.0.0.1 5000 typ host");
    CHECK_EQ(call["callerCandidates"][0]["sdpMid"], "0");
    CHECK_EQ(call["callerCandidates"][0]["sdpMLineIndex"], 0);
    CHECK(!call["callerCandidates"][1].contains("sdpMid")); // not sent, not invented
    REQUIRE(call["calleeCandidates"].size() == 1);
    CHECK_EQ(call["calleeCandidates"][0]["sdpMid"], "audio");
    CHECK_EQ(call["calleeCandidates"][0]["sdpMLineIndex"], 1);
    CHECK_EQ(status(api, f.bob, callId)["callerCandidates"].size(), 2u);

    r = act(api, f.bob, {{"action", "end"}, {"callId", callId}});
    CHECK_EQ(r.status, 200);
    CHECK_EQ(status(api, f.alice, callId)["status"], "ended");
    // Hanging up twice is harmless; candidates after the end are refused.
    CHECK_EQ(act(api, f.alice, {{"action", "end"}, {"callId", callId}}).json["success"], true);
    CHECK_EQ(status(api, f.alice, callId)["status"], "ended");
    CHECK_EQ(act(api, f.alice, {{"action", "ice-candidate"}, {"callId", callId},
                                {"candidate", candidate("candidate:9", "0", 0)}})
                 .status,
             409);
    // Both are free again.
    CHECK_EQ(initiate(api, f.bob, f.aliceId).status, 200);
}

TEST_CASE("calls", "busy while either side is ringing or in a call")
{
    ThreeMembers f;
    Api &api = *f.api;
    const std::string callId = initiate(api, f.alice, f.bobId).json["callId"];

    // Carol calls Alice, who is already ringing Bob; Alice tries to call Carol as well.
    Reply r = initiate(api, f.carol, f.aliceId);
    CHECK_EQ(r.json["success"], false);
    CHECK_EQ(r.json["error"], "busy");
    CHECK(!r.json.contains("callId"));
    CHECK_EQ(initiate(api, f.alice, f.carolId).json["error"], "busy");

    REQUIRE(act(api, f.bob, {{"action", "answer"}, {"callId", callId}, {"answer", "sdp"}}).status == 200);
    CHECK_EQ(initiate(api, f.carol, f.aliceId).json["error"], "busy");
    CHECK(api.get(kCalls, f.alice).json["incomingCall"].is_null());

    REQUIRE(act(api, f.alice, {{"action", "end"}, {"callId", callId}}).status == 200);
    CHECK_EQ(initiate(api, f.carol, f.aliceId).json["success"], true);
}

TEST_CASE("calls", "decline and the rules of who may do what")
{
    ThreeMembers f;
    Api &api = *f.api;
    const std::string callId = initiate(api, f.alice, f.bobId).json["callId"];

    // Only the callee answers or declines; strangers learn nothing about the call.
    CHECK_EQ(act(api, f.alice, {{"action", "answer"}, {"callId", callId}, {"answer", "sdp"}}).status, 403);
    CHECK_EQ(act(api, f.alice, {{"action", "decline"}, {"callId", callId}}).status, 403);
    CHECK_EQ(act(api, f.carol, {{"action", "end"}, {"callId", callId}}).status, 404);
    CHECK_EQ(api.get(kCalls + "?action=status&callId=" + callId, f.carol).status, 404);
    CHECK_EQ(act(api, f.carol, {{"action", "ice-candidate"}, {"callId", callId},
                                {"candidate", candidate("candidate:1", "0", 0)}})
                 .status,
             404);

    Reply r = act(api, f.bob, {{"action", "decline"}, {"callId", callId}});
    CHECK_EQ(r.status, 200);
    CHECK_EQ(status(api, f.alice, callId)["status"], "declined");
    CHECK(api.get(kCalls, f.bob).json["incomingCall"].is_null());
    // A declined call cannot be answered afterwards.
    r = act(api, f.bob, {{"action", "answer"}, {"callId", callId}, {"answer", "sdp"}});
    CHECK_EQ(r.status, 409);
    CHECK_EQ(r.json["success"], false);
    CHECK_EQ(act(api, f.alice, {{"action", "end"}, {"callId", callId}}).json["success"], true);
    CHECK_EQ(status(api, f.alice, callId)["status"], "declined");
}

TEST_CASE("calls", "malformed call requests")
{
    ThreeMembers f;
    Api &api = *f.api;
    CHECK_EQ(act(api, f.alice, {{"action", "initiate"}, {"calleeId", f.bobId}}).status, 400);
    CHECK_EQ(act(api, f.alice, {{"action", "initiate"}, {"calleeId", f.bobId}, {"offer", ""}}).status, 400);
    CHECK_EQ(initiate(api, f.alice, f.aliceId).status, 400);
    CHECK_EQ(initiate(api, f.alice, "nobody").status, 404);
    CHECK_EQ(initiate(api, f.bob, f.carolId).status, 403); // not friends
    CHECK_EQ(act(api, f.alice, {{"action", "dance"}}).status, 400);
    CHECK_EQ(act(api, f.alice, {{"callId", "x"}}).status, 400);
    CHECK_EQ(api.get(kCalls + "?action=status", f.alice).status, 400);
    CHECK_EQ(api.get(kCalls + "?action=other&callId=x", f.alice).status, 400);
    CHECK_EQ(api.get(kCalls + "?action=status&callId=%27%20OR%201%3D1--", f.alice).status, 404);

    const std::string callId = initiate(api, f.alice, f.bobId).json["callId"];
    const nlohmann::json badCandidates[] = {
        nullptr,
        "candidate:1",
        {{"sdpMid", "0"}},
        {{"candidate", "candidate:1"}, {"sdpMLineIndex", "0"}},
        {{"candidate", "candidate:1"}, {"sdpMLineIndex", 0.5}},
        {{"candidate", std::string(5000, 'c')}},
    };
    for (const auto &c : badCandidates) {
        nlohmann::json body{{"action", "ice-candidate"}, {"callId", callId}};
        if (!c.is_null())
            body["candidate"] = c;
        CHECK_EQ(act(api, f.alice, body).status, 400);
    }
    CHECK(status(api, f.bob, callId)["callerCandidates"].empty());
}

TEST_CASE("calls", "a call nobody answers becomes missed after the ring time-out")
{
    ThreeMembers f({"--ring-timeout", "0.3"});
    Api &api = *f.api;
    const std::string callId = initiate(api, f.alice, f.bobId).json["callId"];
    REQUIRE(!callId.empty());
    // Wait (bounded) until the server reports it; the time-out itself is the server's business.
    std::string state;
    for (int i = 0; i < 200 && state != "missed"; ++i) {
        state = status(api, f.alice, callId)["status"];
        if (state != "missed")
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    CHECK_EQ(state, "missed");
    CHECK(api.get(kCalls, f.bob).json["incomingCall"].is_null());
    CHECK_EQ(act(api, f.bob, {{"action", "answer"}, {"callId", callId}, {"answer", "sdp"}}).status, 409);
    // A missed call no longer makes anyone busy.
    CHECK_EQ(initiate(api, f.bob, f.aliceId).json["success"], true);
}

TEST_CASE("calls", "an active call both sides stopped polling ends instead of leaving them busy for good")
{
    ThreeMembers f({"--call-idle-timeout", "0.3"});
    Api &api = *f.api;
    const std::string callId = initiate(api, f.alice, f.bobId).json["callId"];
    REQUIRE(act(api, f.bob, {{"action", "answer"}, {"callId", callId}, {"answer", "sdp"}}).status == 200);
    // Both clients vanish. Carol keeps trying (initiating does not count as polling the old call).
    Reply r;
    for (int i = 0; i < 200; ++i) {
        r = initiate(api, f.carol, f.aliceId);
        if (r.json["success"] == true)
            break;
        CHECK_EQ(r.json["error"], "busy");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    CHECK_EQ(r.json["success"], true);
    CHECK_EQ(status(api, f.alice, callId)["status"], "ended");
}
