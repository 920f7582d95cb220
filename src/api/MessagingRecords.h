#pragma once

#include "APIError.h"
#include "AccountRecords.h"
#include "JsonReader.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

#define ORVANE_SERVER_RECORD(Type)                                                                                 \
    static constexpr const char *recordName = #Type;                                                               \
    static constexpr JsonReader::Keys keyStyle = JsonReader::Keys::SnakeCase;                                      \
    static Type read(JsonReader &r);                                                                               \
    static APIResult<Type> decode(const QByteArray &json) { return decodeRecord<Type>(json); }                     \
    QJsonObject toJson() const;                                                                                    \
    bool operator==(const Type &) const = default;

enum class FileUploadStatus { Pending, Uploading, Uploaded, Failed };
QString toString(FileUploadStatus status);
std::optional<FileUploadStatus> fileUploadStatusFromString(const QString &value);

// The other member of a conversation; its id is the participantId of the messages endpoints.
struct ConversationParticipant {
    QString id;
    std::optional<qint64> numericId;
    std::optional<QString> name;
    std::optional<QString> lastName;
    std::optional<QString> username;
    std::optional<QString> avatar;

    ORVANE_SERVER_RECORD(ConversationParticipant)
};

struct LastMessagePreview {
    QString content;
    QString senderId;
    std::optional<QString> createdAt;
    std::optional<bool> isMine;

    ORVANE_SERVER_RECORD(LastMessagePreview)
};

struct Conversation {
    QString id;
    ConversationParticipant participant;
    qint64 unreadCount = 0;
    FriendshipStatus friendshipStatus = FriendshipStatus::None;
    std::optional<LastMessagePreview> lastMessage;
    std::optional<QString> lastMessageAt;

    ORVANE_SERVER_RECORD(Conversation)
};

struct ConversationsResponse {
    bool success = false;
    std::optional<QList<Conversation>> conversations;
    std::optional<QString> error;

    ORVANE_SERVER_RECORD(ConversationsResponse)
};

// A file attached to a message; the chat view also uses it to follow an upload.
struct AttachedFile {
    QString id;
    QString name;
    qint64 size = 0;
    QString mimeType;
    std::optional<QString> localPath;
    std::optional<QString> downloadUrl;
    FileUploadStatus uploadStatus = FileUploadStatus::Pending;
    std::optional<QString> uploadError;

    // Symbol name drawn for the attachment: "photo", "video", "music.note", "doc.text", "doc.zipper" or "doc".
    QString icon() const;

    ORVANE_SERVER_RECORD(AttachedFile)
};

struct Message {
    QString id;
    QString content;
    QString senderId;
    std::optional<QString> createdAt;
    std::optional<bool> isRead;
    std::optional<bool> isMine;
    std::optional<AttachedFile> attachedFile;
    std::optional<QString> attachmentUrl;
    std::optional<QString> attachmentType;

    // Last path segment of attachmentUrl without the two leading "-"-separated tokens the server prefixes.
    std::optional<QString> attachmentFileName() const;

    ORVANE_SERVER_RECORD(Message)
};

struct MessagesResponse {
    bool success = false;
    std::optional<QString> conversationId;
    std::optional<QList<Message>> messages;
    std::optional<bool> hasMore;
    std::optional<QString> error;

    ORVANE_SERVER_RECORD(MessagesResponse)
};

struct SendMessageResponse {
    bool success = false;
    std::optional<Message> message;
    std::optional<QString> error;

    ORVANE_SERVER_RECORD(SendMessageResponse)
};

struct FileUploadResponse {
    bool success = false;
    std::optional<QString> fileId;
    std::optional<QString> fileName;
    std::optional<qint64> fileSize;
    std::optional<QString> downloadUrl;
    std::optional<QString> mimeType;
    std::optional<QString> error;

    ORVANE_SERVER_RECORD(FileUploadResponse)
};
