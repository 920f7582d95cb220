#pragma once

#include "APIError.h"
#include "JsonReader.h"

#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <optional>

struct Conversation;

// Avatar address: absent stays absent, "http…" is taken as it stands, anything else is a path on the
// content host. A string that does not parse as an address gives no address.
std::optional<QUrl> resolveAvatarURL(const std::optional<QString> &avatar);

enum class FriendshipStatus { Friend, PendingIncoming, PendingOutgoing, None };
QString toString(FriendshipStatus status);
std::optional<FriendshipStatus> friendshipStatusFromString(const QString &value);

// The signed-in account.
struct User {
    static constexpr const char *recordName = "User";
    static constexpr JsonReader::Keys keyStyle = JsonReader::Keys::SnakeCase;

    QString id;
    std::optional<qint64> numericId;
    QString email;
    std::optional<QString> name;
    std::optional<QString> username;
    std::optional<QString> avatar;
    bool emailVerified = false;

    std::optional<QUrl> avatarURL() const;

    static User read(JsonReader &r);
    static APIResult<User> decode(const QByteArray &json) { return decodeRecord<User>(json); }
    QJsonObject toJson() const;
    bool operator==(const User &) const = default;
};

// Body of both answers of the auth endpoint (sign-in and token check).
struct AuthResponse {
    static constexpr const char *recordName = "AuthResponse";
    static constexpr JsonReader::Keys keyStyle = JsonReader::Keys::SnakeCase;

    bool success = false;
    std::optional<QString> error;
    std::optional<QString> token;
    std::optional<User> user;
    std::optional<bool> requiresVerification;

    static AuthResponse read(JsonReader &r);
    static APIResult<AuthResponse> decode(const QByteArray &json) { return decodeRecord<AuthResponse>(json); }
    QJsonObject toJson() const;
    bool operator==(const AuthResponse &) const = default;
};

// The full profile shown on the profile page.
struct UserProfile {
    static constexpr const char *recordName = "UserProfile";
    static constexpr JsonReader::Keys keyStyle = JsonReader::Keys::SnakeCase;

    QString id;
    std::optional<qint64> numericId;
    QString email;
    std::optional<QString> name;
    std::optional<QString> lastName;
    std::optional<QString> username;
    std::optional<QString> avatar;
    std::optional<QString> coverImage;
    std::optional<QString> bio;
    std::optional<QString> birthDate;
    std::optional<QString> city;
    std::optional<QString> gender;
    std::optional<bool> isPrivate;
    std::optional<bool> friendsOnly;
    std::optional<bool> graffitiAllowed;
    std::optional<QString> role;
    std::optional<QString> createdAt;
    std::optional<QString> updatedAt;

    std::optional<QUrl> avatarURL() const;
    // "yyyy-MM-dd" shown in the Russian long date style; anything unparsable is returned as sent.
    std::optional<QString> formattedBirthDate() const;
    // "male" → "Мужской", "female" → "Женский", anything else unchanged.
    std::optional<QString> genderLocalized() const;

    static UserProfile read(JsonReader &r);
    static APIResult<UserProfile> decode(const QByteArray &json) { return decodeRecord<UserProfile>(json); }
    QJsonObject toJson() const;
    bool operator==(const UserProfile &) const = default;
};

struct ProfileResponse {
    static constexpr const char *recordName = "ProfileResponse";
    static constexpr JsonReader::Keys keyStyle = JsonReader::Keys::SnakeCase;

    bool success = false;
    std::optional<QString> error;
    std::optional<UserProfile> profile;

    static ProfileResponse read(JsonReader &r);
    static APIResult<ProfileResponse> decode(const QByteArray &json) { return decodeRecord<ProfileResponse>(json); }
    QJsonObject toJson() const;
    bool operator==(const ProfileResponse &) const = default;
};

// One entry of the friends list, built from a conversation whose friendship status is "friend".
struct Friend {
    static constexpr const char *recordName = "Friend";
    static constexpr JsonReader::Keys keyStyle = JsonReader::Keys::SnakeCase;

    QString id;
    std::optional<qint64> numericId;
    std::optional<QString> name;
    std::optional<QString> lastName;
    std::optional<QString> username;
    std::optional<QString> avatar;
    std::optional<qint64> unreadCount;

    // Name and last name, else name, else username, else "Unknown".
    QString displayName() const;
    // Unlike User, an empty avatar gives no address.
    std::optional<QUrl> avatarURL() const;

    static Friend fromConversation(const Conversation &conversation);

    static Friend read(JsonReader &r);
    static APIResult<Friend> decode(const QByteArray &json) { return decodeRecord<Friend>(json); }
    QJsonObject toJson() const;
    bool operator==(const Friend &) const = default;
};

// Body of a failed response; read only by the API client.
struct ErrorResponse {
    static constexpr const char *recordName = "ErrorResponse";
    static constexpr JsonReader::Keys keyStyle = JsonReader::Keys::SnakeCase;

    std::optional<QString> error;

    static ErrorResponse read(JsonReader &r);
    static APIResult<ErrorResponse> decode(const QByteArray &json) { return decodeRecord<ErrorResponse>(json); }
    QJsonObject toJson() const;
    bool operator==(const ErrorResponse &) const = default;
};
