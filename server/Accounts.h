#pragma once

#include "Database.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

struct Member {
    int64_t numericId = 0;
    std::string id;
    std::string email;
    std::string passwordHash;
    std::optional<std::string> name;
    std::optional<std::string> lastName;
    std::optional<std::string> username;
    std::optional<std::string> avatar;
    std::optional<std::string> coverImage;
    std::optional<std::string> bio;
    std::optional<std::string> birthDate;
    std::optional<std::string> city;
    std::optional<std::string> gender;
    std::string role = "user";
    bool isPrivate = false;
    bool friendsOnly = false;
    bool graffitiAllowed = true;
    bool emailVerified = true;
    int64_t createdAt = 0;
    int64_t updatedAt = 0;

    // "Name LastName", else the name, else the username, else the e-mail.
    std::string displayName() const;
    nlohmann::json userJson() const;
    nlohmann::json profileJson() const;
    nlohmann::json participantJson() const;
};

// Members, sessions and friendships. Every function expects the caller to hold the database lock.
namespace accounts {

std::optional<Member> findById(Database &db, const std::string &id);
std::optional<Member> findByEmail(Database &db, const std::string &email);
std::optional<Member> findByToken(Database &db, const std::string &token);

// Argon2id hash; slow on purpose, so call it without holding the database lock.
std::string hashPassword(const std::string &password);
bool verifyPassword(const std::string &hash, const std::string &password);

// Inserts a member with a fresh identifier and a username derived from the e-mail.
Member create(Database &db, Member member, const std::string &passwordHash);

std::string createSession(Database &db, const std::string &userId);

// "friend", "pending_incoming", "pending_outgoing" or "none", as seen by `viewer`.
std::string friendshipStatus(Database &db, const std::string &viewer, const std::string &other);
bool areFriends(Database &db, const std::string &a, const std::string &b);
// Replaces whatever relation the pair had. `requester` sent the request when it is pending.
void setFriendship(Database &db, const std::string &requester, const std::string &addressee, bool accepted);

} // namespace accounts
