#pragma once

#include "APIError.h"
#include "AccountRecords.h"
#include "MessagingRecords.h"

#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

#include <chrono>
#include <optional>

class HttpSession;
class QNetworkAccessManager;
struct HttpAnswer;

// The client of the server's JSON API under /api/mobile. Stateless between calls: no token, no retry
// beyond waiting for connectivity. Every operation starts and resumes on the GUI thread.
class APIClient : public QObject
{
    Q_OBJECT
public:
    // Created at first use with the configured server address; never released.
    static APIClient *shared();

    // serverURL is the server's base address (no "/api/mobile"); tests point it at 127.0.0.1.
    explicit APIClient(const QString &serverURL, QObject *parent = nullptr);
    ~APIClient() override;

    QString baseURL() const { return m_baseURL; }

    QCoro::Task<APIResult<AuthResponse>> login(QString email, QString password);
    QCoro::Task<APIResult<AuthResponse>> checkToken(QString token);
    QCoro::Task<APIResult<ProfileResponse>> getProfile(QString token);
    QCoro::Task<APIResult<qint64>> getUnreadCount(QString token);
    QCoro::Task<APIResult<ConversationsResponse>> getConversations(QString token);
    QCoro::Task<APIResult<MessagesResponse>> getMessages(QString token, QString participantId);
    // The same answer's body as it came, for a poll that compares answers before decoding them; never
    // kept in the disk cache, since a poll wants the server's list of now.
    QCoro::Task<APIResult<QByteArray>> getMessagesBody(QString token, QString participantId);
    QCoro::Task<APIResult<SendMessageResponse>> sendMessage(QString token, QString participantId, QString content,
                                                            std::optional<QString> attachmentUrl,
                                                            std::optional<QString> attachmentType);
    QCoro::Task<APIResult<FileUploadResponse>> uploadFile(QString token, QString localFilePath);

    static constexpr qint64 maxUploadBytes = 10 * 1024 * 1024;

    // The session's network access with its disk cache, for files fetched from the content host.
    QNetworkAccessManager *contentNetwork();

    // Test hook: the whole-request deadline (60 s), waiting for connectivity included.
    void setDeadlineForTesting(std::chrono::milliseconds deadline);

signals:
    // What the polls already fetched, for the desktop notifications (which send no requests of their
    // own): the unread count with the newest unread message (empty ids when there is none), and every
    // conversation list that arrived.
    void unreadFetched(qint64 count, const QString &newestId, const QString &senderId, const QString &content);
    void conversationsFetched(const QList<Conversation> &conversations);

private:
    template <class T>
    QCoro::Task<APIResult<T>> perform(QByteArray method, QString path, std::optional<QJsonObject> body,
                                      std::optional<QString> token);
    QCoro::Task<APIResult<HttpAnswer>> run(QByteArray method, QString path, std::optional<QJsonObject> body,
                                           std::optional<QString> token, bool diskCache = true);

    QString m_baseURL;
    HttpSession *m_session;
};
