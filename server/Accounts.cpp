#include "Accounts.h"

#include "Util.h"

#include <sodium.h>

#include <semaphore>
#include <stdexcept>

namespace {

const std::string kColumns =
    "numeric_id, id, email, password_hash, name, last_name, username, avatar, cover_image, bio, birth_date, city, "
    "gender, role, is_private, friends_only, graffiti_allowed, email_verified, created_at, updated_at";

Member readMember(const Database::Statement &s)
{
    Member m;
    m.numericId = s.integer(0);
    m.id = s.text(1);
    m.email = s.text(2);
    m.passwordHash = s.text(3);
    m.name = s.optText(4);
    m.lastName = s.optText(5);
    m.username = s.optText(6);
    m.avatar = s.optText(7);
    m.coverImage = s.optText(8);
    m.bio = s.optText(9);
    m.birthDate = s.optText(10);
    m.city = s.optText(11);
    m.gender = s.optText(12);
    m.role = s.text(13);
    m.isPrivate = s.integer(14) != 0;
    m.friendsOnly = s.integer(15) != 0;
    m.graffitiAllowed = s.integer(16) != 0;
    m.emailVerified = s.integer(17) != 0;
    m.createdAt = s.integer(18);
    m.updatedAt = s.integer(19);
    return m;
}

std::optional<Member> findOne(Database &db, const std::string &where, const std::string &value)
{
    auto s = db.prepare("SELECT " + kColumns + " FROM users WHERE " + where);
    s.bind(1, value);
    if (!s.step())
        return std::nullopt;
    return readMember(s);
}

void putOptional(nlohmann::json &j, const char *key, const std::optional<std::string> &value)
{
    if (value)
        j[key] = *value;
}

// Each Argon2id run takes 64 MiB; a burst of sign-ins waits here instead of taking all memory at once.
std::counting_semaphore<4> hashSlots{4};

struct HashSlot {
    HashSlot() { hashSlots.acquire(); }
    ~HashSlot() { hashSlots.release(); }
};

} // namespace

std::string Member::displayName() const
{
    if (name && !name->empty())
        return lastName && !lastName->empty() ? *name + " " + *lastName : *name;
    if (username)
        return *username;
    return email;
}

nlohmann::json Member::userJson() const
{
    nlohmann::json j{{"id", id}, {"numericId", numericId}, {"email", email}, {"emailVerified", emailVerified}};
    putOptional(j, "name", name);
    putOptional(j, "username", username);
    putOptional(j, "avatar", avatar);
    return j;
}

nlohmann::json Member::profileJson() const
{
    nlohmann::json j{{"id", id},
                     {"numericId", numericId},
                     {"email", email},
                     {"role", role},
                     {"isPrivate", isPrivate},
                     {"friendsOnly", friendsOnly},
                     {"graffitiAllowed", graffitiAllowed},
                     {"createdAt", util::formatTimestamp(createdAt)},
                     {"updatedAt", util::formatTimestamp(updatedAt)}};
    putOptional(j, "name", name);
    putOptional(j, "lastName", lastName);
    putOptional(j, "username", username);
    putOptional(j, "avatar", avatar);
    putOptional(j, "coverImage", coverImage);
    putOptional(j, "bio", bio);
    putOptional(j, "birthDate", birthDate);
    putOptional(j, "city", city);
    putOptional(j, "gender", gender);
    return j;
}

nlohmann::json Member::participantJson() const
{
    nlohmann::json j{{"id", id}, {"numericId", numericId}};
    putOptional(j, "name", name);
    putOptional(j, "lastName", lastName);
    putOptional(j, "username", username);
    putOptional(j, "avatar", avatar);
    return j;
}

namespace accounts {

std::optional<Member> findById(Database &db, const std::string &id)
{
    return findOne(db, "id = ?1", id);
}

std::optional<Member> findByEmail(Database &db, const std::string &email)
{
    return findOne(db, "email = ?1", email);
}

std::optional<Member> findByToken(Database &db, const std::string &token)
{
    if (token.empty())
        return std::nullopt;
    return findOne(db, "id = (SELECT user_id FROM sessions WHERE token_hash = ?1)", util::hashToken(token));
}

std::string hashPassword(const std::string &password)
{
    HashSlot slot;
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                              crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13)
        != 0)
        throw std::runtime_error("out of memory while hashing a password");
    return out;
}

bool verifyPassword(const std::string &hash, const std::string &password)
{
    HashSlot slot;
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

Member create(Database &db, Member member, const std::string &passwordHash)
{
    member.id = util::randomUuid();
    member.passwordHash = passwordHash;
    if (!member.username) {
        std::string base = util::toLower(member.email.substr(0, member.email.find('@')));
        std::string candidate = base;
        for (int n = 2;; ++n) {
            auto s = db.prepare("SELECT 1 FROM users WHERE username = ?1");
            s.bind(1, candidate);
            if (!s.step())
                break;
            candidate = base + std::to_string(n);
        }
        member.username = candidate;
    }
    member.createdAt = member.updatedAt = util::nowMicros();
    auto s = db.prepare(
        "INSERT INTO users (id, email, password_hash, name, last_name, username, avatar, cover_image, bio, birth_date, "
        "city, gender, role, is_private, friends_only, graffiti_allowed, email_verified, created_at, updated_at) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19)");
    s.bind(1, member.id).bind(2, member.email).bind(3, member.passwordHash).bind(4, member.name);
    s.bind(5, member.lastName).bind(6, member.username).bind(7, member.avatar).bind(8, member.coverImage);
    s.bind(9, member.bio).bind(10, member.birthDate).bind(11, member.city).bind(12, member.gender);
    s.bind(13, member.role).bind(14, member.isPrivate).bind(15, member.friendsOnly).bind(16, member.graffitiAllowed);
    s.bind(17, member.emailVerified).bind(18, member.createdAt).bind(19, member.updatedAt);
    s.run();
    member.numericId = db.lastInsertRowId();
    return member;
}

std::string createSession(Database &db, const std::string &userId)
{
    const std::string token = util::randomHex(32);
    auto s = db.prepare("INSERT INTO sessions (token_hash, user_id, created_at) VALUES (?1, ?2, ?3)");
    s.bind(1, util::hashToken(token)).bind(2, userId).bind(3, util::nowMicros());
    s.run();
    return token;
}

std::string friendshipStatus(Database &db, const std::string &viewer, const std::string &other)
{
    auto s = db.prepare("SELECT requester_id, status FROM friendships WHERE (requester_id = ?1 AND addressee_id = ?2) "
                        "OR (requester_id = ?2 AND addressee_id = ?1) ORDER BY status = 'accepted' DESC LIMIT 1");
    s.bind(1, viewer).bind(2, other);
    if (!s.step())
        return "none";
    if (s.text(1) == "accepted")
        return "friend";
    return s.text(0) == viewer ? "pending_outgoing" : "pending_incoming";
}

bool areFriends(Database &db, const std::string &a, const std::string &b)
{
    return friendshipStatus(db, a, b) == "friend";
}

void setFriendship(Database &db, const std::string &requester, const std::string &addressee, bool accepted)
{
    auto del = db.prepare("DELETE FROM friendships WHERE (requester_id = ?1 AND addressee_id = ?2) "
                          "OR (requester_id = ?2 AND addressee_id = ?1)");
    del.bind(1, requester).bind(2, addressee);
    del.run();
    auto ins = db.prepare(
        "INSERT INTO friendships (requester_id, addressee_id, status, created_at) VALUES (?1, ?2, ?3, ?4)");
    ins.bind(1, requester).bind(2, addressee).bind(3, accepted ? "accepted" : "pending").bind(4, util::nowMicros());
    ins.run();
}

} // namespace accounts
