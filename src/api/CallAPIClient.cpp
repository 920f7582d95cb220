#include "CallAPIClient.h"

#include "HttpSession.h"
#include "ServerConfig.h"

#include <QJsonDocument>
#include <QNetworkRequest>
#include <QUrl>

CallAPIClient *CallAPIClient::shared()
{
    static CallAPIClient *instance = new CallAPIClient(ServerConfig::current().serverURL);
    return instance;
}

CallAPIClient::CallAPIClient(const QString &serverURL, QObject *parent)
    : QObject(parent)
    , m_baseURL(serverURL + QStringLiteral("/api/mobile/calls"))
    // Polls fail fast: the next tick is the retry.
    , m_session(new HttpSession({.waitForConnectivity = false, .diskCache = false}, this))
    , m_pollSession(new HttpSession({.waitForConnectivity = false, .diskCache = false}, this))
{
    // HttpSession names its only deadline setter for tests; these are the production deadlines.
    m_session->setDeadlineForTesting(postDeadline);
    m_pollSession->setDeadlineForTesting(pollDeadline);
}

CallAPIClient::~CallAPIClient() = default;

void CallAPIClient::setDeadlineForTesting(std::chrono::milliseconds deadline)
{
    m_session->setDeadlineForTesting(deadline);
    m_pollSession->setDeadlineForTesting(deadline);
}

template <class T>
QCoro::Task<APIResult<T>> CallAPIClient::perform(QByteArray method, QString address, QJsonObject body, QString token)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        co_return APIError::invalidURL();
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", QByteArrayLiteral("Bearer ") + token.toUtf8());
    QByteArray bytes;
    if (method == "POST") {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        bytes = QJsonDocument(body).toJson(QJsonDocument::Compact);
    }
    HttpSession *session = method == "POST" ? m_session : m_pollSession;
    const auto answer = co_await session->send(request, method, bytes);
    if (!answer.ok())
        co_return answer.error();
    co_return T::decode(answer.value().body);
}

QCoro::Task<APIResult<IncomingCallResponse>> CallAPIClient::checkIncomingCall(QString token)
{
    co_return co_await perform<IncomingCallResponse>("GET", m_baseURL, {}, token);
}

QCoro::Task<APIResult<CallStatusResponse>> CallAPIClient::getCallStatus(QString token, QString callId)
{
    // The id is escaped so that "&" or "#" in it cannot change the query.
    const QString address = m_baseURL + QStringLiteral("?action=status&callId=")
        + QString::fromLatin1(QUrl::toPercentEncoding(callId));
    co_return co_await perform<CallStatusResponse>("GET", address, {}, token);
}

QCoro::Task<APIResult<CallResponse>> CallAPIClient::initiateCall(QString token, QString calleeId, QString offer)
{
    const QJsonObject body{{QStringLiteral("action"), QStringLiteral("initiate")},
                           {QStringLiteral("calleeId"), calleeId},
                           {QStringLiteral("offer"), offer}};
    co_return co_await perform<CallResponse>("POST", m_baseURL, body, token);
}

QCoro::Task<APIResult<CallResponse>> CallAPIClient::answerCall(QString token, QString callId, QString answer)
{
    const QJsonObject body{{QStringLiteral("action"), QStringLiteral("answer")},
                           {QStringLiteral("callId"), callId},
                           {QStringLiteral("answer"), answer}};
    co_return co_await perform<CallResponse>("POST", m_baseURL, body, token);
}

QCoro::Task<APIResult<CallResponse>> CallAPIClient::declineCall(QString token, QString callId)
{
    const QJsonObject body{{QStringLiteral("action"), QStringLiteral("decline")}, {QStringLiteral("callId"), callId}};
    co_return co_await perform<CallResponse>("POST", m_baseURL, body, token);
}

QCoro::Task<APIResult<CallResponse>> CallAPIClient::endCall(QString token, QString callId)
{
    const QJsonObject body{{QStringLiteral("action"), QStringLiteral("end")}, {QStringLiteral("callId"), callId}};
    co_return co_await perform<CallResponse>("POST", m_baseURL, body, token);
}

QCoro::Task<APIResult<CallResponse>> CallAPIClient::sendIceCandidate(QString token, QString callId, QJsonObject candidate)
{
    const QJsonObject body{{QStringLiteral("action"), QStringLiteral("ice-candidate")},
                           {QStringLiteral("callId"), callId},
                           {QStringLiteral("candidate"), candidate}};
    co_return co_await perform<CallResponse>("POST", m_baseURL, body, token);
}
