#include "APIClient.h"

#include "Diagnostics.h"
#include "HttpSession.h"
#include "MultipartBody.h"
#include "ServerConfig.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkRequest>
#include <QPointer>
#include <QStringDecoder>
#include <QUrl>
#include <QUuid>

namespace {
// A usable absolute address, or an invalid QUrl.
QUrl absoluteURL(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        return {};
    return url;
}

QByteArray bearer(const QString &token)
{
    return QByteArrayLiteral("Bearer ") + token.toUtf8();
}

APIResult<QByteArray> successBody(const HttpAnswer &answer)
{
    if (!answer.isHttp)
        return APIError::invalidResponse();
    if (answer.status >= 200 && answer.status <= 299)
        return answer.body;
    const auto error = ErrorResponse::decode(answer.body);
    if (error.ok() && error.value().error)
        return APIError::serverError(*error.value().error);
    return APIError::serverError(QStringLiteral("HTTP ") + QString::number(answer.status));
}

template <class T>
APIResult<T> readAnswer(const HttpAnswer &answer)
{
    const auto body = successBody(answer);
    if (!body.ok())
        return body.error();
    return T::decode(body.value());
}

// Everything outside the unreserved characters is escaped, so "&", "=", "+" and "#" cannot change the query.
QString messagesPath(const QString &participantId)
{
    return QStringLiteral("messages?participantId=") + QString::fromLatin1(QUrl::toPercentEncoding(participantId));
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    (void)decoder.decode(bytes);
    return !decoder.hasError();
}
} // namespace

APIClient *APIClient::shared()
{
    static APIClient *instance = [] {
        const ServerConfig config = ServerConfig::current();
        for (const QString &error : config.errors)
            diag(QStringLiteral("[APIClient] ❌ ") + error);
        return new APIClient(config.serverURL);
    }();
    return instance;
}

APIClient::APIClient(const QString &serverURL, QObject *parent)
    : QObject(parent)
    , m_baseURL(serverURL + QStringLiteral("/api/mobile"))
    , m_session(new HttpSession({.waitForConnectivity = true, .diskCache = true}, this))
{
}

APIClient::~APIClient() = default;

void APIClient::setDeadlineForTesting(std::chrono::milliseconds deadline)
{
    m_session->setDeadlineForTesting(deadline);
}

QCoro::Task<APIResult<HttpAnswer>> APIClient::run(QByteArray method, QString path, std::optional<QJsonObject> body,
                                                  std::optional<QString> token, bool diskCache)
{
    const QUrl url = absoluteURL(m_baseURL + QLatin1Char('/') + path);
    if (!url.isValid())
        co_return APIError::invalidURL();
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    if (token)
        request.setRawHeader("Authorization", bearer(*token));
    if (!diskCache) {
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    }
    const QByteArray bytes = body ? QJsonDocument(*body).toJson(QJsonDocument::Compact) : QByteArray();
    co_return co_await m_session->send(request, method, bytes);
}

template <class T>
QCoro::Task<APIResult<T>> APIClient::perform(QByteArray method, QString path, std::optional<QJsonObject> body,
                                             std::optional<QString> token)
{
    const auto answer = co_await run(std::move(method), std::move(path), std::move(body), std::move(token));
    if (!answer.ok())
        co_return answer.error();
    co_return readAnswer<T>(answer.value());
}

QCoro::Task<APIResult<AuthResponse>> APIClient::login(QString email, QString password)
{
    const QJsonObject body{{QStringLiteral("action"), QStringLiteral("login")},
                           {QStringLiteral("email"), email},
                           {QStringLiteral("password"), password}};
    auto result = co_await perform<AuthResponse>("POST", QStringLiteral("auth"), body, std::nullopt);
    if (result.ok() && !result.value().success)
        co_return APIError::serverError(result.value().error.value_or(QStringLiteral("Login failed")));
    co_return result;
}

QCoro::Task<APIResult<AuthResponse>> APIClient::checkToken(QString token)
{
    const QJsonObject body{{QStringLiteral("action"), QStringLiteral("check")}, {QStringLiteral("token"), token}};
    co_return co_await perform<AuthResponse>("POST", QStringLiteral("auth"), body, std::nullopt);
}

QCoro::Task<APIResult<ProfileResponse>> APIClient::getProfile(QString token)
{
    co_return co_await perform<ProfileResponse>("GET", QStringLiteral("profile"), std::nullopt, token);
}

QCoro::Task<APIResult<qint64>> APIClient::getUnreadCount(QString token)
{
    const auto answer = co_await run("GET", QStringLiteral("notifications?limit=1"), std::nullopt, token);
    if (!answer.ok())
        co_return answer.error();
    // Whatever the status, anything but a whole number under "unreadCount" counts as nothing unread.
    JsonDom dom;
    QString ignored;
    if (!dom.parse(answer.value().body, &ignored))
        co_return qint64(0);
    const std::uint32_t count = dom.member(dom.root(), "unreadCount");
    const qint64 unread = count == JsonDom::npos ? 0 : dom.integer(dom.node(count)).value_or(0);
    // The answer also names the newest unread message (limit=1); anything malformed there is skipped.
    QString ids[3];
    const std::uint32_t list = dom.member(dom.root(), "notifications");
    if (list != JsonDom::npos && dom.node(list).type == JsonDom::Type::Array && dom.node(list).length > 0
        && dom.node(list + 1).type == JsonDom::Type::Object) {
        const char *keys[3] = {"id", "senderId", "content"};
        for (int i = 0; i < 3; ++i) {
            const std::uint32_t value = dom.member(list + 1, keys[i]);
            if (value != JsonDom::npos && dom.node(value).type == JsonDom::Type::String)
                ids[i] = dom.string(dom.node(value));
        }
    }
    emit unreadFetched(unread, ids[0], ids[1], ids[2]);
    co_return unread;
}

QCoro::Task<APIResult<ConversationsResponse>> APIClient::getConversations(QString token)
{
    auto result = co_await perform<ConversationsResponse>("GET", QStringLiteral("conversations"), std::nullopt, token);
    if (result.ok() && result.value().conversations)
        emit conversationsFetched(*result.value().conversations);
    co_return result;
}

QCoro::Task<APIResult<MessagesResponse>> APIClient::getMessages(QString token, QString participantId)
{
    co_return co_await perform<MessagesResponse>("GET", messagesPath(participantId), std::nullopt, token);
}

QCoro::Task<APIResult<QByteArray>> APIClient::getMessagesBody(QString token, QString participantId)
{
    const auto answer = co_await run("GET", messagesPath(participantId), std::nullopt, token, false);
    if (!answer.ok())
        co_return answer.error();
    co_return successBody(answer.value());
}

QCoro::Task<APIResult<SendMessageResponse>> APIClient::sendMessage(QString token, QString participantId, QString content,
                                                                   std::optional<QString> attachmentUrl,
                                                                   std::optional<QString> attachmentType)
{
    QJsonObject body{{QStringLiteral("participantId"), participantId}, {QStringLiteral("content"), content}};
    if (attachmentUrl)
        body.insert(QStringLiteral("attachmentUrl"), *attachmentUrl);
    if (attachmentType)
        body.insert(QStringLiteral("attachmentType"), *attachmentType);
    co_return co_await perform<SendMessageResponse>("POST", QStringLiteral("messages"), body, token);
}

QCoro::Task<APIResult<FileUploadResponse>> APIClient::uploadFile(QString token, QString localFilePath)
{
    diag(QStringLiteral("[APIClient] 🚀 uploadFile called for: ") + localFilePath);
    const QString address = m_baseURL + QStringLiteral("/files/upload");
    const QUrl url = absoluteURL(address);
    if (!url.isValid()) {
        diag(QStringLiteral("[APIClient] ❌ Invalid URL"));
        co_return APIError::invalidURL();
    }
    diag(QStringLiteral("[APIClient] 📤 Upload URL: ") + address);

    diag(QStringLiteral("[APIClient] 📖 Reading file data..."));
    QFile file(localFilePath);
    if (!file.open(QIODevice::ReadOnly))
        co_return APIError::file(file.errorString());
    // Reading one byte past the limit is enough to refuse a file; a huge one is never held in memory.
    const QByteArray data = file.read(maxUploadBytes + 1);
    if (file.error() != QFileDevice::NoError)
        co_return APIError::file(file.errorString());
    const qint64 count = data.size() > maxUploadBytes ? std::max<qint64>(data.size(), file.size()) : data.size();
    file.close();

    const QString fileName = QFileInfo(localFilePath).fileName();
    diag(QStringLiteral("[APIClient] 📖 File read: %1, %2 bytes").arg(fileName, QString::number(count)));
    if (count > maxUploadBytes) {
        diag(QStringLiteral("[APIClient] ❌ File too large: %1 > %2").arg(count).arg(maxUploadBytes));
        co_return APIError::serverError(QStringLiteral("Файл слишком большой. Максимум 10 МБ"));
    }

    const QString boundary = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QByteArray body = buildMultipartBody(boundary, fileName, data);
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", bearer(token));
    request.setRawHeader("Content-Type", "multipart/form-data; boundary=" + boundary.toLatin1());

    diag(QStringLiteral("[APIClient] 📤 Uploading file: %1 (%2 bytes) to %3").arg(fileName, QString::number(count), address));
    const auto result = co_await m_session->send(request, "POST", body);
    if (!result.ok())
        co_return result.error();
    const HttpAnswer &answer = result.value();
    if (!answer.isHttp)
        co_return APIError::invalidResponse();

    diag(QStringLiteral("[APIClient] Upload response status: ") + QString::number(answer.status));
    if (isValidUtf8(answer.body))
        diag(QStringLiteral("[APIClient] Upload response: ") + QString::fromUtf8(answer.body));

    if (answer.status == 200)
        co_return FileUploadResponse::decode(answer.body);
    JsonDom dom;
    QString ignored;
    if (dom.parse(answer.body, &ignored)) {
        const std::uint32_t error = dom.member(dom.root(), "error");
        if (error != JsonDom::npos && dom.node(error).type == JsonDom::Type::String)
            co_return APIError::serverError(dom.string(dom.node(error)));
    }
    co_return APIError::serverError(QStringLiteral("Upload failed with status ") + QString::number(answer.status));
}

QNetworkAccessManager *APIClient::contentNetwork()
{
    return m_session->manager();
}
