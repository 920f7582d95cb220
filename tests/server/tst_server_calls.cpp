// The calls endpoint's state machine for two members, and who may do what.
#include "ServerTest.h"

#include <thread>

namespace {

const std::string calls = "/api/mobile/calls";

Reply act(Api &api, const std::string &token, const json &body)
{
    return api.post(calls, body, token);
}

Reply initiate(Api &api, const std::string &token, const std::string &callee)
{
    return act(api, token, {{"action", "initiate"}, {"calleeId", callee}, {"offer", "v=0 offer-sdp"}});
}

Reply answer(Api &api, const std::string &token, const std::string &callId)
{
    return act(api, token, {{"action", "answer"}, {"callId", callId}, {"answer", "v=0 answer-sdp"}});
}

Reply candidate(Api &api, const std::string &token, const std::string &callId, const json &candidate)
{
    return act(api, token, {{"action", "ice-candidate"}, {"callId", callId}, {"candidate", candidate}});
}

json status(Api &api, const std::string &token, const std::string &callId)
{
    const Reply r = api.get(calls + "?action=status&callId=" + callId, token);
    return r.status == 200 ? r.json["call"] : json();
}

json incoming(Api &api, const std::string &token)
{
    return api.get(calls, token).json["incomingCall"];
}

} // namespace

class TestServerCalls : public QObject
{
    Q_OBJECT
private slots:
    void wholeCall()
    {
        ThreeMembers f;
        QVERIFY(f.start());
        Api &api = *f.api;
        QVERIFY(incoming(api, f.bob).is_null());
        Reply r = initiate(api, f.alice, f.bobId);
        QCOMPARE(r.status, 200);
        COMPARE_JSON(r.json["success"], true);
        const std::string callId = str(r.json["callId"]);

        // The callee's bare poll reports the ringing call with caller and offer; nobody else's does.
        COMPARE_JSON(incoming(api, f.bob), (json{{"id", callId}, {"offer", "v=0 offer-sdp"},
                                    {"caller", {{"id", f.aliceId}, {"name", "Alice Adams"}, {"username", "alice"}}}}));
        QVERIFY(incoming(api, f.alice).is_null());
        QVERIFY(incoming(api, f.carol).is_null());

        json call = status(api, f.alice, callId);
        COMPARE_JSON(call["status"], "ringing");
        COMPARE_JSON(call["isCaller"], true);
        QVERIFY(!call.contains("answer"));
        QVERIFY(call["callerCandidates"].empty());
        COMPARE_JSON(status(api, f.bob, callId)["isCaller"], false);

        // The caller's candidates go in while it rings.
        const json first{{"candidate", "candidate:1 1 UDP 1 127.0.0.1 5000 typ host"}, {"sdpMid", "0"}, {"sdpMLineIndex", 0}};
        const json bare{{"candidate", "candidate:2 1 UDP 1 127.0.0.1 5002 typ host"}};
        QCOMPARE(candidate(api, f.alice, callId, first).status, 200);
        QCOMPARE(candidate(api, f.alice, callId, bare).status, 200);

        r = answer(api, f.bob, callId);
        QCOMPARE(r.status, 200);
        COMPARE_JSON(r.json["success"], true);
        QVERIFY(incoming(api, f.bob).is_null());
        const json callee{{"candidate", "candidate:3 1 UDP 1 127.0.0.1 6000 typ host"}, {"sdpMid", "audio"}, {"sdpMLineIndex", 1}};
        QCOMPARE(candidate(api, f.bob, callId, callee).status, 200);

        call = status(api, f.alice, callId);
        COMPARE_JSON(call["status"], "active");
        COMPARE_JSON(call["answer"], "v=0 answer-sdp");
        COMPARE_JSON(call["callerCandidates"], json::array({first, bare})); // nothing invented for what was not sent
        COMPARE_JSON(call["calleeCandidates"], json::array({callee}));
        COMPARE_JSON(status(api, f.bob, callId)["callerCandidates"], call["callerCandidates"]);

        QCOMPARE(act(api, f.bob, {{"action", "end"}, {"callId", callId}}).status, 200);
        COMPARE_JSON(status(api, f.alice, callId)["status"], "ended");
        // Hanging up twice is harmless; candidates after the end are refused.
        COMPARE_JSON(act(api, f.alice, {{"action", "end"}, {"callId", callId}}).json["success"], true);
        COMPARE_JSON(status(api, f.alice, callId)["status"], "ended");
        QCOMPARE(candidate(api, f.alice, callId, first).status, 409);
        // Both are free again.
        QCOMPARE(initiate(api, f.bob, f.aliceId).status, 200);
    }

    // Only the callee answers or declines, strangers learn nothing, and both members are busy while it rings
    // and while it runs.
    void declineBusyAndWhoMayDoWhat()
    {
        ThreeMembers f;
        QVERIFY(f.start());
        Api &api = *f.api;
        std::string callId = str(initiate(api, f.alice, f.bobId).json["callId"]);

        // Carol calls Alice, who is already ringing Bob; Alice tries to call Carol as well.
        COMPARE_JSON(initiate(api, f.carol, f.aliceId).json, (json{{"success", false}, {"error", "busy"}}));
        COMPARE_JSON(initiate(api, f.alice, f.carolId).json["error"], "busy");

        QCOMPARE(answer(api, f.alice, callId).status, 403);
        QCOMPARE(act(api, f.alice, {{"action", "decline"}, {"callId", callId}}).status, 403);
        QCOMPARE(act(api, f.carol, {{"action", "end"}, {"callId", callId}}).status, 404);
        QCOMPARE(api.get(calls + "?action=status&callId=" + callId, f.carol).status, 404);
        QCOMPARE(candidate(api, f.carol, callId, {{"candidate", "candidate:1"}, {"sdpMid", "0"}, {"sdpMLineIndex", 0}}).status, 404);

        QCOMPARE(act(api, f.bob, {{"action", "decline"}, {"callId", callId}}).status, 200);
        COMPARE_JSON(status(api, f.alice, callId)["status"], "declined");
        QVERIFY(incoming(api, f.bob).is_null());
        // A declined call cannot be answered afterwards, and ending it changes nothing.
        const Reply late = answer(api, f.bob, callId);
        QCOMPARE(late.status, 409);
        COMPARE_JSON(late.json["success"], false);
        COMPARE_JSON(act(api, f.alice, {{"action", "end"}, {"callId", callId}}).json["success"], true);
        COMPARE_JSON(status(api, f.alice, callId)["status"], "declined");

        callId = str(initiate(api, f.alice, f.bobId).json["callId"]);
        QCOMPARE(answer(api, f.bob, callId).status, 200);
        COMPARE_JSON(initiate(api, f.carol, f.aliceId).json["error"], "busy");
        QVERIFY(incoming(api, f.alice).is_null());
        QCOMPARE(act(api, f.alice, {{"action", "end"}, {"callId", callId}}).status, 200);
        COMPARE_JSON(initiate(api, f.carol, f.aliceId).json["success"], true);
    }

    void malformedRequests()
    {
        ThreeMembers f;
        QVERIFY(f.start());
        Api &api = *f.api;
        const std::pair<json, int> bodies[] = {
            {{{"action", "initiate"}, {"calleeId", f.bobId}}, 400},
            {{{"action", "initiate"}, {"calleeId", f.bobId}, {"offer", ""}}, 400},
            {{{"action", "initiate"}, {"calleeId", f.aliceId}, {"offer", "o"}}, 400},
            {{{"action", "initiate"}, {"calleeId", "nobody"}, {"offer", "o"}}, 404},
            {{{"action", "dance"}}, 400},
            {{{"callId", "x"}}, 400},
        };
        for (const auto &[body, code] : bodies)
            QVERIFY2(act(api, f.alice, body).status == code, body.dump().c_str());
        QCOMPARE(initiate(api, f.bob, f.carolId).status, 403); // not friends
        for (const auto &[query, code] : {std::pair{"?action=status", 400}, {"?action=other&callId=x", 400},
                                          {"?action=status&callId=%27%20OR%201%3D1--", 404}})
            QVERIFY2(api.get(calls + query, f.alice).status == code, query);

        const std::string callId = str(initiate(api, f.alice, f.bobId).json["callId"]);
        for (const json &bad : {json(), json("candidate:1"), json{{"sdpMid", "0"}},
                                json{{"candidate", "candidate:1"}, {"sdpMLineIndex", "0"}},
                                json{{"candidate", "candidate:1"}, {"sdpMLineIndex", 0.5}},
                                json{{"candidate", std::string(5000, 'c')}}}) {
            json body{{"action", "ice-candidate"}, {"callId", callId}};
            if (!bad.is_null())
                body["candidate"] = bad;
            QVERIFY2(act(api, f.alice, body).status == 400, bad.dump().substr(0, 60).c_str());
        }
        QVERIFY(status(api, f.bob, callId)["callerCandidates"].empty());
    }

    // The server's own time-outs: a call that rings unanswered is missed, an answered call nobody polls ends.
    void timeOuts_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QString>("state");
        QTest::newRow("unanswered") << QStringList{"--ring-timeout", "0.3"} << false << "missed";
        QTest::newRow("nobody polls") << QStringList{"--call-idle-timeout", "0.3"} << true << "ended";
    }

    void timeOuts()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, answered);
        QFETCH(QString, state);
        ThreeMembers f;
        QVERIFY(f.start(arguments));
        Api &api = *f.api;
        const std::string callId = str(initiate(api, f.alice, f.bobId).json["callId"]);
        if (answered)
            QCOMPARE(answer(api, f.bob, callId).status, 200);
        // Both clients vanish. Carol keeps trying (initiating does not count as polling the old call); the wait is
        // bounded, the time-out itself is the server's business.
        Reply r;
        for (int i = 0; i < 200; ++i) {
            r = initiate(api, f.carol, f.aliceId);
            if (r.json["success"] == true)
                break;
            COMPARE_JSON(r.json["error"], "busy");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        COMPARE_JSON(r.json["success"], true);
        COMPARE_JSON(status(api, f.alice, callId)["status"], state.toStdString());
        QVERIFY(incoming(api, f.bob).is_null());
        QCOMPARE(answer(api, f.bob, callId).status, 409);
    }
};

QTEST_GUILESS_MAIN(TestServerCalls)
#include "tst_server_calls.moc"
