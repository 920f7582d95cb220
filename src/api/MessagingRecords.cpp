#include "MessagingRecords.h"

#include "RecordJson.h"

using namespace recordjson;

QString toString(FileUploadStatus status)
{
    switch (status) {
    case FileUploadStatus::Pending:
        return QStringLiteral("pending");
    case FileUploadStatus::Uploading:
        return QStringLiteral("uploading");
    case FileUploadStatus::Uploaded:
        return QStringLiteral("uploaded");
    case FileUploadStatus::Failed:
        break;
    }
    return QStringLiteral("failed");
}

std::optional<FileUploadStatus> fileUploadStatusFromString(const QString &value)
{
    for (auto status : {FileUploadStatus::Pending, FileUploadStatus::Uploading, FileUploadStatus::Uploaded,
                        FileUploadStatus::Failed}) {
        if (toString(status) == value)
            return status;
    }
    return std::nullopt;
}

// ConversationParticipant

ConversationParticipant ConversationParticipant::read(JsonReader &r)
{
    ConversationParticipant p;
    p.id = r.string("id");
    p.numericId = r.optInteger("numericId");
    p.name = r.optString("name");
    p.lastName = r.optString("lastName");
    p.username = r.optString("username");
    p.avatar = r.optString("avatar");
    return p;
}

QJsonObject ConversationParticipant::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), id);
    put(o, "numericId", numericId);
    put(o, "name", name);
    put(o, "lastName", lastName);
    put(o, "username", username);
    put(o, "avatar", avatar);
    return o;
}

// LastMessagePreview

LastMessagePreview LastMessagePreview::read(JsonReader &r)
{
    LastMessagePreview p;
    p.content = r.string("content");
    p.senderId = r.string("senderId");
    p.createdAt = r.optString("createdAt");
    p.isMine = r.optBool("isMine");
    return p;
}

QJsonObject LastMessagePreview::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("content"), content);
    o.insert(QLatin1String("senderId"), senderId);
    put(o, "createdAt", createdAt);
    put(o, "isMine", isMine);
    return o;
}

// Conversation

Conversation Conversation::read(JsonReader &r)
{
    Conversation c;
    c.id = r.string("id");
    c.participant = r.record<ConversationParticipant>("participant");
    c.unreadCount = r.integer("unreadCount");
    const QString status = r.string("friendshipStatus");
    if (r.ok()) {
        if (const auto parsed = friendshipStatusFromString(status))
            c.friendshipStatus = *parsed;
        else
            r.fail("friendshipStatus", QStringLiteral("unknown value \"%1\"").arg(status));
    }
    c.lastMessage = r.optRecord<LastMessagePreview>("lastMessage");
    c.lastMessageAt = r.optString("lastMessageAt");
    return c;
}

QJsonObject Conversation::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), id);
    o.insert(QLatin1String("participant"), participant.toJson());
    o.insert(QLatin1String("unreadCount"), unreadCount);
    o.insert(QLatin1String("friendshipStatus"), toString(friendshipStatus));
    putRecord(o, "lastMessage", lastMessage);
    put(o, "lastMessageAt", lastMessageAt);
    return o;
}

// ConversationsResponse

ConversationsResponse ConversationsResponse::read(JsonReader &r)
{
    ConversationsResponse c;
    c.success = r.boolean("success");
    c.conversations = r.optList<Conversation>("conversations");
    c.error = r.optString("error");
    return c;
}

QJsonObject ConversationsResponse::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("success"), success);
    putList(o, "conversations", conversations);
    put(o, "error", error);
    return o;
}

// AttachedFile

QString AttachedFile::icon() const
{
    if (mimeType.startsWith(QLatin1String("image/")))
        return QStringLiteral("photo");
    if (mimeType.startsWith(QLatin1String("video/")))
        return QStringLiteral("video");
    if (mimeType.startsWith(QLatin1String("audio/")))
        return QStringLiteral("music.note");
    if (mimeType.contains(QLatin1String("pdf")))
        return QStringLiteral("doc.text");
    if (mimeType.contains(QLatin1String("zip")) || mimeType.contains(QLatin1String("archive")))
        return QStringLiteral("doc.zipper");
    return QStringLiteral("doc");
}

AttachedFile AttachedFile::read(JsonReader &r)
{
    AttachedFile f;
    f.id = r.string("id");
    f.name = r.string("name");
    f.size = r.integer("size");
    f.mimeType = r.string("mimeType");
    f.localPath = r.optString("localPath");
    f.downloadUrl = r.optString("downloadUrl");
    const QString status = r.string("uploadStatus");
    if (r.ok()) {
        if (const auto parsed = fileUploadStatusFromString(status))
            f.uploadStatus = *parsed;
        else
            r.fail("uploadStatus", QStringLiteral("unknown value \"%1\"").arg(status));
    }
    f.uploadError = r.optString("uploadError");
    return f;
}

QJsonObject AttachedFile::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), id);
    o.insert(QLatin1String("name"), name);
    o.insert(QLatin1String("size"), size);
    o.insert(QLatin1String("mimeType"), mimeType);
    put(o, "localPath", localPath);
    put(o, "downloadUrl", downloadUrl);
    o.insert(QLatin1String("uploadStatus"), toString(uploadStatus));
    put(o, "uploadError", uploadError);
    return o;
}

// Message

std::optional<QString> Message::attachmentFileName() const
{
    if (!attachmentUrl)
        return std::nullopt;
    const qsizetype slash = attachmentUrl->lastIndexOf(QLatin1Char('/'));
    const QString last = slash < 0 ? *attachmentUrl : attachmentUrl->mid(slash + 1);
    const QStringList pieces = last.split(QLatin1Char('-'));
    if (pieces.size() >= 3)
        return pieces.mid(2).join(QLatin1Char('-'));
    return last;
}

Message Message::read(JsonReader &r)
{
    Message m;
    m.id = r.string("id");
    m.content = r.string("content");
    m.senderId = r.string("senderId");
    m.createdAt = r.optString("createdAt");
    m.isRead = r.optBool("isRead");
    m.isMine = r.optBool("isMine");
    m.attachedFile = r.optRecord<AttachedFile>("attachedFile");
    m.attachmentUrl = r.optString("attachmentUrl");
    m.attachmentType = r.optString("attachmentType");
    return m;
}

QJsonObject Message::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), id);
    o.insert(QLatin1String("content"), content);
    o.insert(QLatin1String("senderId"), senderId);
    put(o, "createdAt", createdAt);
    put(o, "isRead", isRead);
    put(o, "isMine", isMine);
    putRecord(o, "attachedFile", attachedFile);
    put(o, "attachmentUrl", attachmentUrl);
    put(o, "attachmentType", attachmentType);
    return o;
}

// MessagesResponse

MessagesResponse MessagesResponse::read(JsonReader &r)
{
    MessagesResponse m;
    m.success = r.boolean("success");
    m.conversationId = r.optString("conversationId");
    m.messages = r.optList<Message>("messages");
    m.hasMore = r.optBool("hasMore");
    m.error = r.optString("error");
    return m;
}

QJsonObject MessagesResponse::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("success"), success);
    put(o, "conversationId", conversationId);
    putList(o, "messages", messages);
    put(o, "hasMore", hasMore);
    put(o, "error", error);
    return o;
}

// SendMessageResponse

SendMessageResponse SendMessageResponse::read(JsonReader &r)
{
    SendMessageResponse s;
    s.success = r.boolean("success");
    s.message = r.optRecord<Message>("message");
    s.error = r.optString("error");
    return s;
}

QJsonObject SendMessageResponse::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("success"), success);
    putRecord(o, "message", message);
    put(o, "error", error);
    return o;
}

// FileUploadResponse

FileUploadResponse FileUploadResponse::read(JsonReader &r)
{
    FileUploadResponse f;
    f.success = r.boolean("success");
    f.fileId = r.optString("fileId");
    f.fileName = r.optString("fileName");
    f.fileSize = r.optInteger("fileSize");
    f.downloadUrl = r.optString("downloadUrl");
    f.mimeType = r.optString("mimeType");
    f.error = r.optString("error");
    return f;
}

QJsonObject FileUploadResponse::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("success"), success);
    put(o, "fileId", fileId);
    put(o, "fileName", fileName);
    put(o, "fileSize", fileSize);
    put(o, "downloadUrl", downloadUrl);
    put(o, "mimeType", mimeType);
    put(o, "error", error);
    return o;
}
