#include "AccountRecords.h"

#include "MessagingRecords.h"
#include "RecordJson.h"
#include "ServerConfig.h"

#include <QDate>
#include <QLocale>

using namespace recordjson;

std::optional<QUrl> resolveAvatarURL(const std::optional<QString> &avatar)
{
    if (!avatar)
        return std::nullopt;
    const QString content = ServerConfig::current().contentURL;
    const bool full = avatar->startsWith(QLatin1String("http"));
    const QUrl url(full ? *avatar : content + *avatar, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    // Only the content host is asked for images: an address elsewhere would tell its owner who looked, and when.
    const QUrl host(content);
    if (full && (url.scheme() != host.scheme() || url.host() != host.host() || url.port() != host.port()))
        return std::nullopt;
    return url;
}

QString toString(FriendshipStatus status)
{
    switch (status) {
    case FriendshipStatus::Friend:
        return QStringLiteral("friend");
    case FriendshipStatus::PendingIncoming:
        return QStringLiteral("pending_incoming");
    case FriendshipStatus::PendingOutgoing:
        return QStringLiteral("pending_outgoing");
    case FriendshipStatus::None:
        break;
    }
    return QStringLiteral("none");
}

std::optional<FriendshipStatus> friendshipStatusFromString(const QString &value)
{
    for (auto status : {FriendshipStatus::Friend, FriendshipStatus::PendingIncoming, FriendshipStatus::PendingOutgoing,
                        FriendshipStatus::None}) {
        if (toString(status) == value)
            return status;
    }
    return std::nullopt;
}

// User

std::optional<QUrl> User::avatarURL() const
{
    return resolveAvatarURL(avatar);
}

User User::read(JsonReader &r)
{
    User u;
    u.id = r.string("id");
    u.numericId = r.optInteger("numericId");
    u.email = r.string("email");
    u.name = r.optString("name");
    u.username = r.optString("username");
    u.avatar = r.optString("avatar");
    u.emailVerified = r.boolean("emailVerified");
    return u;
}

QJsonObject User::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), id);
    put(o, "numericId", numericId);
    o.insert(QLatin1String("email"), email);
    put(o, "name", name);
    put(o, "username", username);
    put(o, "avatar", avatar);
    o.insert(QLatin1String("emailVerified"), emailVerified);
    return o;
}

// AuthResponse

AuthResponse AuthResponse::read(JsonReader &r)
{
    AuthResponse a;
    a.success = r.boolean("success");
    a.error = r.optString("error");
    a.token = r.optString("token");
    a.user = r.optRecord<User>("user");
    a.requiresVerification = r.optBool("requiresVerification");
    return a;
}

QJsonObject AuthResponse::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("success"), success);
    put(o, "error", error);
    put(o, "token", token);
    putRecord(o, "user", user);
    put(o, "requiresVerification", requiresVerification);
    return o;
}

// UserProfile

std::optional<QUrl> UserProfile::avatarURL() const
{
    return resolveAvatarURL(avatar);
}

std::optional<QString> UserProfile::formattedBirthDate() const
{
    if (!birthDate)
        return std::nullopt;
    const QDate date = QDate::fromString(*birthDate, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return birthDate;
    // The Russian long style: day, month in the genitive, year, "г." (no weekday).
    return QLocale(QLocale::Russian, QLocale::Russia).toString(date, QStringLiteral("d MMMM yyyy 'г.'"));
}

std::optional<QString> UserProfile::genderLocalized() const
{
    if (!gender)
        return std::nullopt;
    if (*gender == QLatin1String("male"))
        return QStringLiteral("Мужской");
    if (*gender == QLatin1String("female"))
        return QStringLiteral("Женский");
    return gender;
}

UserProfile UserProfile::read(JsonReader &r)
{
    UserProfile p;
    p.id = r.string("id");
    p.numericId = r.optInteger("numericId");
    p.email = r.string("email");
    p.name = r.optString("name");
    p.lastName = r.optString("lastName");
    p.username = r.optString("username");
    p.avatar = r.optString("avatar");
    p.coverImage = r.optString("coverImage");
    p.bio = r.optString("bio");
    p.birthDate = r.optString("birthDate");
    p.city = r.optString("city");
    p.gender = r.optString("gender");
    p.isPrivate = r.optBool("isPrivate");
    p.friendsOnly = r.optBool("friendsOnly");
    p.graffitiAllowed = r.optBool("graffitiAllowed");
    p.role = r.optString("role");
    p.createdAt = r.optString("createdAt");
    p.updatedAt = r.optString("updatedAt");
    return p;
}

QJsonObject UserProfile::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), id);
    put(o, "numericId", numericId);
    o.insert(QLatin1String("email"), email);
    put(o, "name", name);
    put(o, "lastName", lastName);
    put(o, "username", username);
    put(o, "avatar", avatar);
    put(o, "coverImage", coverImage);
    put(o, "bio", bio);
    put(o, "birthDate", birthDate);
    put(o, "city", city);
    put(o, "gender", gender);
    put(o, "isPrivate", isPrivate);
    put(o, "friendsOnly", friendsOnly);
    put(o, "graffitiAllowed", graffitiAllowed);
    put(o, "role", role);
    put(o, "createdAt", createdAt);
    put(o, "updatedAt", updatedAt);
    return o;
}

// ProfileResponse

ProfileResponse ProfileResponse::read(JsonReader &r)
{
    ProfileResponse p;
    p.success = r.boolean("success");
    p.error = r.optString("error");
    p.profile = r.optRecord<UserProfile>("profile");
    return p;
}

QJsonObject ProfileResponse::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("success"), success);
    put(o, "error", error);
    putRecord(o, "profile", profile);
    return o;
}

// Friend

QString Friend::displayName() const
{
    if (name) {
        if (lastName && !lastName->isEmpty())
            return *name + QLatin1Char(' ') + *lastName;
        return *name;
    }
    if (username)
        return *username;
    return QStringLiteral("Unknown");
}

std::optional<QUrl> Friend::avatarURL() const
{
    if (!avatar || avatar->isEmpty())
        return std::nullopt;
    return resolveAvatarURL(avatar);
}

Friend Friend::fromConversation(const Conversation &conversation)
{
    Friend f;
    f.id = conversation.participant.id;
    f.numericId = conversation.participant.numericId;
    f.name = conversation.participant.name;
    f.lastName = conversation.participant.lastName;
    f.username = conversation.participant.username;
    f.avatar = conversation.participant.avatar;
    f.unreadCount = conversation.unreadCount;
    return f;
}

Friend Friend::read(JsonReader &r)
{
    Friend f;
    f.id = r.string("id");
    f.numericId = r.optInteger("numericId");
    f.name = r.optString("name");
    f.lastName = r.optString("lastName");
    f.username = r.optString("username");
    f.avatar = r.optString("avatar");
    f.unreadCount = r.optInteger("unreadCount");
    return f;
}

QJsonObject Friend::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), id);
    put(o, "numericId", numericId);
    put(o, "name", name);
    put(o, "lastName", lastName);
    put(o, "username", username);
    put(o, "avatar", avatar);
    put(o, "unreadCount", unreadCount);
    return o;
}

// ErrorResponse

ErrorResponse ErrorResponse::read(JsonReader &r)
{
    ErrorResponse e;
    e.error = r.optString("error");
    return e;
}

QJsonObject ErrorResponse::toJson() const
{
    QJsonObject o;
    put(o, "error", error);
    return o;
}
