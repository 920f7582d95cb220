#include "Service.h"
#include "Util.h"

namespace {

void login(Service &service, Service::Context &ctx)
{
    const std::string email = requireString(ctx.body, "email");
    const std::string password = requireString(ctx.body, "password");
    std::optional<Member> member;
    {
        auto guard = service.db().lock();
        member = accounts::findByEmail(service.db(), email);
    }
    // The hash check is slow on purpose; it runs without the database lock so other requests carry on.
    if (!member) {
        // An unknown e-mail costs the same hash check as a wrong password, so timing does not tell which it was.
        static const std::string unknownMemberHash = accounts::hashPassword(util::randomHex(16));
        accounts::verifyPassword(unknownMemberHash, password);
        throw HttpError(401, "Invalid email or password");
    }
    if (!accounts::verifyPassword(member->passwordHash, password))
        throw HttpError(401, "Invalid email or password");
    std::string token;
    {
        auto guard = service.db().lock();
        token = accounts::createSession(service.db(), member->id);
    }
    sendJson(ctx.res, 200,
             {{"success", true},
              {"token", token},
              {"user", member->userJson()},
              {"requiresVerification", !member->emailVerified}});
}

void check(Service &service, Service::Context &ctx)
{
    const std::string token = requireString(ctx.body, "token");
    std::optional<Member> member;
    {
        auto guard = service.db().lock();
        member = accounts::findByToken(service.db(), token);
    }
    if (!member) {
        sendJson(ctx.res, 200, {{"success", false}, {"error", "Invalid or expired token"}});
        return;
    }
    sendJson(ctx.res, 200,
             {{"success", true}, {"user", member->userJson()}, {"requiresVerification", !member->emailVerified}});
}

} // namespace

void registerAccountRoutes(Service &service)
{
    service.route("POST", "/api/mobile/auth", false, true, [](Service &s, Service::Context &ctx) {
        const std::string action = requireString(ctx.body, "action");
        if (action == "login")
            login(s, ctx);
        else if (action == "check")
            check(s, ctx);
        else
            throw HttpError(400, "Unknown action");
    });

    service.route("GET", "/api/mobile/profile", true, false, [](Service &, Service::Context &ctx) {
        sendJson(ctx.res, 200, {{"success", true}, {"profile", ctx.member->profileJson()}});
    });

    service.route("GET", "/api/mobile/notifications", true, false, [](Service &s, Service::Context &ctx) {
        int64_t limit = 20;
        if (ctx.req.has_param("limit")) {
            const std::string value = ctx.req.get_param_value("limit");
            if (value.empty() || value.size() > 4 || value.find_first_not_of("0123456789") != std::string::npos)
                throw HttpError(400, "limit must be a number from 0 to 100");
            limit = std::min<int64_t>(std::stoll(value), 100);
        }
        auto guard = s.db().lock();
        auto count = s.db().prepare("SELECT COUNT(*) FROM messages WHERE recipient_id = ?1 AND is_read = 0");
        count.bind(1, ctx.member->id);
        count.step();
        const int64_t unread = count.integer(0);

        nlohmann::json list = nlohmann::json::array();
        auto rows = s.db().prepare("SELECT seq, sender_id, content, created_at FROM messages "
                                   "WHERE recipient_id = ?1 AND is_read = 0 ORDER BY seq DESC LIMIT ?2");
        rows.bind(1, ctx.member->id).bind(2, limit);
        while (rows.step()) {
            list.push_back({{"id", std::to_string(rows.integer(0))},
                            {"type", "message"},
                            {"senderId", rows.text(1)},
                            {"content", rows.text(2)},
                            {"createdAt", util::formatTimestamp(rows.integer(3))},
                            {"isRead", false}});
        }
        sendJson(ctx.res, 200, {{"success", true}, {"unreadCount", unread}, {"notifications", list}});
    });
}
