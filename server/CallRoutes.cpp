#include "Service.h"
#include "Util.h"

namespace {

constexpr size_t kMaxSdpBytes = 256 * 1024;
constexpr size_t kMaxCandidateBytes = 4096;
constexpr int64_t kMaxCandidatesPerSide = 200;

struct Call {
    std::string id;
    std::string callerId;
    std::string calleeId;
    std::string status;
    std::string offer;
    std::optional<std::string> answer;
};

// Calls that rang too long become "missed"; active calls nobody polls any more are over. Run before every
// read, so no timer thread is needed.
void expireCalls(Service &service)
{
    auto &db = service.db();
    const int64_t now = util::nowMicros();
    auto missed = db.prepare(
        "UPDATE calls SET status = 'missed', updated_at = ?1 WHERE status = 'ringing' AND created_at <= ?2");
    missed.bind(1, now).bind(2, now - static_cast<int64_t>(service.config().ringTimeoutSeconds * 1e6));
    missed.run();
    auto idle = db.prepare(
        "UPDATE calls SET status = 'ended', updated_at = ?1 WHERE status = 'active' AND updated_at <= ?2");
    idle.bind(1, now).bind(2, now - static_cast<int64_t>(service.config().idleCallTimeoutSeconds * 1e6));
    idle.run();
}

std::optional<Call> findCall(Service &service, const std::string &id)
{
    auto s = service.db().prepare("SELECT id, caller_id, callee_id, status, offer, answer FROM calls WHERE id = ?1");
    s.bind(1, id);
    if (!s.step())
        return std::nullopt;
    return Call{s.text(0), s.text(1), s.text(2), s.text(3), s.text(4), s.optText(5)};
}

// The call, when `me` takes part in it; a stranger learns nothing, not even that it exists.
Call requireCall(Service &service, const nlohmann::json &body, const Member &me)
{
    const std::string callId = requireString(body, "callId");
    auto call = findCall(service, callId);
    if (!call || (call->callerId != me.id && call->calleeId != me.id))
        throw HttpError(404, "Call not found");
    return *call;
}

void setStatus(Service &service, const std::string &callId, const std::string &status)
{
    auto s = service.db().prepare("UPDATE calls SET status = ?1, updated_at = ?2 WHERE id = ?3");
    s.bind(1, status).bind(2, util::nowMicros()).bind(3, callId);
    s.run();
}

// An active call stays alive while either side keeps asking about it.
void touch(Service &service, const Call &call)
{
    if (call.status != "active")
        return;
    auto s = service.db().prepare("UPDATE calls SET updated_at = ?1 WHERE id = ?2");
    s.bind(1, util::nowMicros()).bind(2, call.id);
    s.run();
}

nlohmann::json candidates(Service &service, const std::string &callId, bool fromCaller)
{
    nlohmann::json list = nlohmann::json::array();
    auto s = service.db().prepare("SELECT candidate, sdp_mid, sdp_mline_index FROM call_candidates "
                                  "WHERE call_id = ?1 AND from_caller = ?2 ORDER BY seq");
    s.bind(1, callId).bind(2, fromCaller);
    while (s.step()) {
        nlohmann::json c{{"candidate", s.text(0)}};
        if (!s.isNull(1))
            c["sdpMid"] = s.text(1);
        if (!s.isNull(2))
            c["sdpMLineIndex"] = s.integer(2);
        list.push_back(std::move(c));
    }
    return list;
}

void getCalls(Service &service, Service::Context &ctx)
{
    const Member &me = *ctx.member;
    auto guard = service.db().lock();
    expireCalls(service);

    if (!ctx.req.has_param("action")) {
        // Is anyone calling me?
        auto s = service.db().prepare("SELECT id, caller_id, offer FROM calls WHERE callee_id = ?1 AND "
                                      "status = 'ringing' ORDER BY created_at DESC LIMIT 1");
        s.bind(1, me.id);
        if (!s.step()) {
            sendJson(ctx.res, 200, {{"success", true}, {"incomingCall", nullptr}});
            return;
        }
        const std::string id = s.text(0), callerId = s.text(1), offer = s.text(2);
        nlohmann::json caller{{"id", callerId}};
        if (auto m = accounts::findById(service.db(), callerId)) {
            caller["name"] = m->displayName();
            if (m->username)
                caller["username"] = *m->username;
            if (m->avatar)
                caller["avatar"] = *m->avatar;
        }
        sendJson(ctx.res, 200, {{"success", true}, {"incomingCall", {{"id", id}, {"offer", offer}, {"caller", caller}}}});
        return;
    }

    if (ctx.req.get_param_value("action") != "status")
        throw HttpError(400, "Unknown action");
    const std::string callId = ctx.req.get_param_value("callId");
    if (callId.empty())
        throw HttpError(400, "Missing callId");
    auto call = findCall(service, callId);
    if (!call || (call->callerId != me.id && call->calleeId != me.id))
        throw HttpError(404, "Call not found");
    touch(service, *call);
    nlohmann::json data{{"id", call->id},
                        {"status", call->status},
                        {"offer", call->offer},
                        {"isCaller", call->callerId == me.id},
                        {"callerCandidates", candidates(service, call->id, true)},
                        {"calleeCandidates", candidates(service, call->id, false)}};
    if (call->answer)
        data["answer"] = *call->answer;
    sendJson(ctx.res, 200, {{"success", true}, {"call", data}});
}

void initiate(Service &service, Service::Context &ctx)
{
    const Member &me = *ctx.member;
    const std::string calleeId = requireString(ctx.body, "calleeId");
    const std::string offer = requireString(ctx.body, "offer");
    if (offer.empty() || offer.size() > kMaxSdpBytes)
        throw HttpError(400, "Invalid offer");
    if (calleeId == me.id)
        throw HttpError(400, "Cannot call yourself");
    auto &db = service.db();
    auto callee = accounts::findById(db, calleeId);
    if (!callee)
        throw HttpError(404, "User not found");
    if (!accounts::areFriends(db, me.id, callee->id))
        throw HttpError(403, "You can only call friends");

    // The check and the insert happen in one transaction under the lock, so two calls cannot both get through.
    Database::Transaction tx(db);
    auto busy = db.prepare("SELECT 1 FROM calls WHERE status IN ('ringing', 'active') AND "
                           "(caller_id IN (?1, ?2) OR callee_id IN (?1, ?2)) LIMIT 1");
    busy.bind(1, me.id).bind(2, callee->id);
    if (busy.step())
        throw HttpError(409, "busy");
    const std::string id = util::randomUuid();
    const int64_t now = util::nowMicros();
    auto ins = db.prepare("INSERT INTO calls (id, caller_id, callee_id, status, offer, created_at, updated_at) "
                          "VALUES (?1, ?2, ?3, 'ringing', ?4, ?5, ?5)");
    ins.bind(1, id).bind(2, me.id).bind(3, callee->id).bind(4, offer).bind(5, now);
    ins.run();
    tx.commit();
    sendJson(ctx.res, 200, {{"success", true}, {"callId", id}, {"message", "Call initiated"}});
}

void answerOrDecline(Service &service, Service::Context &ctx, bool answering)
{
    const Member &me = *ctx.member;
    std::string answer;
    if (answering) {
        answer = requireString(ctx.body, "answer");
        if (answer.empty() || answer.size() > kMaxSdpBytes)
            throw HttpError(400, "Invalid answer");
    }
    const Call call = requireCall(service, ctx.body, me);
    if (call.calleeId != me.id)
        throw HttpError(403, answering ? "Only the callee can answer" : "Only the callee can decline");
    if (call.status != "ringing")
        throw HttpError(409, "Call is " + call.status);
    if (answering) {
        auto s = service.db().prepare(
            "UPDATE calls SET status = 'active', answer = ?1, updated_at = ?2 WHERE id = ?3");
        s.bind(1, answer).bind(2, util::nowMicros()).bind(3, call.id);
        s.run();
        sendJson(ctx.res, 200, {{"success", true}, {"message", "Call answered"}});
    } else {
        setStatus(service, call.id, "declined");
        sendJson(ctx.res, 200, {{"success", true}, {"message", "Call declined"}});
    }
}

void end(Service &service, Service::Context &ctx)
{
    const Call call = requireCall(service, ctx.body, *ctx.member);
    if (call.status == "ringing" || call.status == "active") {
        setStatus(service, call.id, "ended");
        sendJson(ctx.res, 200, {{"success", true}, {"message", "Call ended"}});
    } else {
        // Hanging up a call that is already over changes nothing and is not an error.
        sendJson(ctx.res, 200, {{"success", true}, {"message", "Call already " + call.status}});
    }
}

void iceCandidate(Service &service, Service::Context &ctx)
{
    const Call call = requireCall(service, ctx.body, *ctx.member);
    const auto it = ctx.body.find("candidate");
    if (it == ctx.body.end() || !it->is_object())
        throw HttpError(400, "Missing field: candidate");
    const std::string line = requireString(*it, "candidate");
    const auto mid = optionalString(*it, "sdpMid");
    std::optional<int64_t> index;
    if (const auto idx = it->find("sdpMLineIndex"); idx != it->end() && !idx->is_null()) {
        if (!idx->is_number_integer())
            throw HttpError(400, "Field must be an integer: sdpMLineIndex");
        index = idx->get<int64_t>();
    }
    if (line.size() > kMaxCandidateBytes || (mid && mid->size() > 256))
        throw HttpError(400, "Invalid candidate");
    if (call.status != "ringing" && call.status != "active")
        throw HttpError(409, "Call is " + call.status);

    const bool fromCaller = call.callerId == ctx.member->id;
    auto count = service.db().prepare("SELECT COUNT(*) FROM call_candidates WHERE call_id = ?1 AND from_caller = ?2");
    count.bind(1, call.id).bind(2, fromCaller);
    count.step();
    if (count.integer(0) >= kMaxCandidatesPerSide)
        throw HttpError(409, "Too many candidates");

    auto s = service.db().prepare("INSERT INTO call_candidates (call_id, from_caller, candidate, sdp_mid, "
                                  "sdp_mline_index) VALUES (?1, ?2, ?3, ?4, ?5)");
    s.bind(1, call.id).bind(2, fromCaller).bind(3, line).bind(4, mid);
    if (index)
        s.bind(5, *index);
    else
        s.bindNull(5);
    s.run();
    touch(service, call);
    sendJson(ctx.res, 200, {{"success", true}, {"message", "Candidate stored"}});
}

} // namespace

void registerCallRoutes(Service &service)
{
    service.route("GET", "/api/mobile/calls", true, false, getCalls);
    service.route("POST", "/api/mobile/calls", true, true, [](Service &s, Service::Context &ctx) {
        const std::string action = requireString(ctx.body, "action");
        auto guard = s.db().lock();
        expireCalls(s);
        if (action == "initiate")
            initiate(s, ctx);
        else if (action == "answer")
            answerOrDecline(s, ctx, true);
        else if (action == "decline")
            answerOrDecline(s, ctx, false);
        else if (action == "end")
            end(s, ctx);
        else if (action == "ice-candidate")
            iceCandidate(s, ctx);
        else
            throw HttpError(400, "Unknown action");
    });
}
