#include "Service.h"
#include "Util.h"

#include <algorithm>

namespace {

constexpr size_t kMaxContentBytes = 64 * 1024;
constexpr size_t kMaxLinkBytes = 2048;
constexpr int64_t kMessagePage = 500;

std::string conversationId(const Member &a, const Member &b)
{
    const auto lo = std::min(a.numericId, b.numericId);
    const auto hi = std::max(a.numericId, b.numericId);
    return "conv-" + std::to_string(lo) + "-" + std::to_string(hi);
}

// Columns: seq, sender_id, content, created_at, is_read, attachment_url, attachment_type, file_id,
// then the file's original_name, mime_type, size (NULL without a file).
const char *const kMessageColumns =
    "m.seq, m.sender_id, m.content, m.created_at, m.is_read, m.attachment_url, m.attachment_type, m.file_id, "
    "f.original_name, f.mime_type, f.size FROM messages m LEFT JOIN files f ON f.id = m.file_id";

nlohmann::json messageJson(const Service &service, const Database::Statement &s, const std::string &viewer)
{
    nlohmann::json j{{"id", std::to_string(s.integer(0))},
                     {"senderId", s.text(1)},
                     {"content", s.text(2)},
                     {"createdAt", util::formatTimestamp(s.integer(3))},
                     {"isRead", s.integer(4) != 0},
                     {"isMine", s.text(1) == viewer}};
    if (!s.isNull(5)) {
        const std::string url = service.resolveContentLink(s.text(5));
        j["attachmentUrl"] = url;
        if (!s.isNull(6))
            j["attachmentType"] = s.text(6);
        if (!s.isNull(7) && !s.isNull(8)) {
            j["attachedFile"] = {{"id", s.text(7)},
                                 {"name", s.text(8)},
                                 {"mimeType", s.text(9)},
                                 {"size", s.integer(10)},
                                 {"downloadUrl", url},
                                 {"uploadStatus", "uploaded"}};
        }
    }
    return j;
}

Member requireParticipant(Service &service, const std::string &id, const Member &me)
{
    if (id.empty())
        throw HttpError(400, "Missing participantId");
    auto other = accounts::findById(service.db(), id);
    if (!other)
        throw HttpError(404, "Participant not found");
    if (other->id == me.id)
        throw HttpError(400, "participantId is the signed-in member");
    return *other;
}

void getConversations(Service &service, Service::Context &ctx)
{
    const Member &me = *ctx.member;
    auto guard = service.db().lock();
    auto &db = service.db();

    std::vector<std::string> others;
    {
        auto s = db.prepare(
            "SELECT CASE WHEN sender_id = ?1 THEN recipient_id ELSE sender_id END FROM messages "
            "WHERE sender_id = ?1 OR recipient_id = ?1 "
            "UNION SELECT CASE WHEN requester_id = ?1 THEN addressee_id ELSE requester_id END FROM friendships "
            "WHERE status = 'accepted' AND (requester_id = ?1 OR addressee_id = ?1)");
        s.bind(1, me.id);
        while (s.step())
            others.push_back(s.text(0));
    }

    struct Entry {
        int64_t lastAt = 0;
        std::string sortName;
        nlohmann::json json;
    };
    std::vector<Entry> entries;
    for (const auto &otherId : others) {
        auto other = accounts::findById(db, otherId);
        if (!other)
            continue;
        Entry e;
        e.sortName = other->displayName();
        e.json = {{"id", conversationId(me, *other)},
                  {"participant", other->participantJson()},
                  {"friendshipStatus", accounts::friendshipStatus(db, me.id, other->id)}};

        auto unread = db.prepare(
            "SELECT COUNT(*) FROM messages WHERE sender_id = ?1 AND recipient_id = ?2 AND is_read = 0");
        unread.bind(1, other->id).bind(2, me.id);
        unread.step();
        e.json["unreadCount"] = unread.integer(0);

        auto last = db.prepare("SELECT seq, sender_id, content, created_at FROM messages "
                               "WHERE (sender_id = ?1 AND recipient_id = ?2) OR (sender_id = ?2 AND recipient_id = ?1) "
                               "ORDER BY created_at DESC, seq DESC LIMIT 1");
        last.bind(1, me.id).bind(2, other->id);
        if (last.step()) {
            e.lastAt = last.integer(3);
            const std::string createdAt = util::formatTimestamp(last.integer(3));
            e.json["lastMessage"] = {{"content", last.text(2)},
                                     {"senderId", last.text(1)},
                                     {"createdAt", createdAt},
                                     {"isMine", last.text(1) == me.id}};
            e.json["lastMessageAt"] = createdAt;
        }
        entries.push_back(std::move(e));
    }
    // Newest exchange first; friends without messages after them, by name.
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.lastAt != b.lastAt)
            return a.lastAt > b.lastAt;
        return a.sortName < b.sortName;
    });
    nlohmann::json list = nlohmann::json::array();
    for (auto &e : entries)
        list.push_back(std::move(e.json));
    sendJson(ctx.res, 200, {{"success", true}, {"conversations", list}});
}

void getMessages(Service &service, Service::Context &ctx)
{
    const Member &me = *ctx.member;
    auto guard = service.db().lock();
    auto &db = service.db();
    const Member other = requireParticipant(service, ctx.req.get_param_value("participantId"), me);

    Database::Transaction tx(db);
    // Fetching the conversation is what reads it.
    auto mark = db.prepare(
        "UPDATE messages SET is_read = 1 WHERE sender_id = ?1 AND recipient_id = ?2 AND is_read = 0");
    mark.bind(1, other.id).bind(2, me.id);
    mark.run();

    auto s = db.prepare(std::string("SELECT ") + kMessageColumns
                        + " WHERE (m.sender_id = ?1 AND m.recipient_id = ?2) OR (m.sender_id = ?2 AND m.recipient_id = ?1)"
                          " ORDER BY m.created_at DESC, m.seq DESC LIMIT ?3");
    s.bind(1, me.id).bind(2, other.id).bind(3, kMessagePage + 1);
    std::vector<nlohmann::json> newestFirst;
    while (s.step())
        newestFirst.push_back(messageJson(service, s, me.id));
    tx.commit();

    const bool hasMore = static_cast<int64_t>(newestFirst.size()) > kMessagePage;
    if (hasMore)
        newestFirst.pop_back();
    nlohmann::json list = nlohmann::json::array();
    for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it)
        list.push_back(std::move(*it));
    sendJson(ctx.res, 200,
             {{"success", true}, {"conversationId", conversationId(me, other)}, {"messages", list}, {"hasMore", hasMore}});
}

void postMessage(Service &service, Service::Context &ctx)
{
    const Member &me = *ctx.member;
    const std::string participantId = requireString(ctx.body, "participantId");
    const std::string content = requireString(ctx.body, "content");
    const auto attachmentUrl = optionalString(ctx.body, "attachmentUrl");
    const auto attachmentType = optionalString(ctx.body, "attachmentType");
    if (content.size() > kMaxContentBytes)
        throw HttpError(413, "Message is too long");
    if (attachmentUrl && (attachmentUrl->empty() || attachmentUrl->size() > kMaxLinkBytes))
        throw HttpError(400, "Invalid attachmentUrl");
    if (attachmentType && attachmentType->size() > 255)
        throw HttpError(400, "Invalid attachmentType");
    if (content.empty() && !attachmentUrl)
        throw HttpError(400, "Message is empty");

    auto guard = service.db().lock();
    auto &db = service.db();
    const Member other = requireParticipant(service, participantId, me);
    if (!accounts::areFriends(db, me.id, other.id))
        throw HttpError(403, "You can only send messages to friends");

    std::optional<std::string> storedUrl;
    std::optional<std::string> fileId;
    if (attachmentUrl) {
        storedUrl = service.storeContentLink(*attachmentUrl);
        // A link to a file uploaded here gets the file's record attached.
        const std::string prefix = "content:files/";
        if (storedUrl->compare(0, prefix.size(), prefix) == 0) {
            const std::string id = storedUrl->substr(prefix.size(), 32);
            auto f = db.prepare("SELECT id FROM files WHERE id = ?1");
            f.bind(1, id);
            if (f.step())
                fileId = id;
        }
    }

    auto ins = db.prepare("INSERT INTO messages (sender_id, recipient_id, content, attachment_url, attachment_type, "
                          "file_id, created_at) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    ins.bind(1, me.id).bind(2, other.id).bind(3, content).bind(4, storedUrl).bind(5, attachmentType);
    ins.bind(6, fileId).bind(7, util::nowMicros());
    ins.run();
    const int64_t seq = db.lastInsertRowId();

    auto s = db.prepare(std::string("SELECT ") + kMessageColumns + " WHERE m.seq = ?1");
    s.bind(1, seq);
    s.step();
    sendJson(ctx.res, 200, {{"success", true}, {"message", messageJson(service, s, me.id)}});
}

} // namespace

void registerMessagingRoutes(Service &service)
{
    service.route("GET", "/api/mobile/conversations", true, false, getConversations);
    service.route("GET", "/api/mobile/messages", true, false, getMessages);
    service.route("POST", "/api/mobile/messages", true, true, postMessage);
}
