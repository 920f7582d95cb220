#pragma once

#include "APIError.h"
#include "CallRecords.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

#include <chrono>

class HttpSession;

// The calls endpoint (/api/mobile/calls). Stateless; the HTTP status is not examined: any body that
// decodes as the record is the result, so success=false answers reach the call manager as records.
class CallAPIClient : public QObject
{
    Q_OBJECT
public:
    static CallAPIClient *shared();

    explicit CallAPIClient(const QString &serverURL, QObject *parent = nullptr);
    ~CallAPIClient() override;

    QString baseURL() const { return m_baseURL; }

    QCoro::Task<APIResult<IncomingCallResponse>> checkIncomingCall(QString token);
    QCoro::Task<APIResult<CallStatusResponse>> getCallStatus(QString token, QString callId);
    QCoro::Task<APIResult<CallResponse>> initiateCall(QString token, QString calleeId, QString offer);
    QCoro::Task<APIResult<CallResponse>> answerCall(QString token, QString callId, QString answer);
    QCoro::Task<APIResult<CallResponse>> declineCall(QString token, QString callId);
    QCoro::Task<APIResult<CallResponse>> endCall(QString token, QString callId);
    // candidate: the dictionary {"candidate", "sdpMid", "sdpMLineIndex"} (see IceCandidate::toDictionary()).
    QCoro::Task<APIResult<CallResponse>> sendIceCandidate(QString token, QString callId, QJsonObject candidate);

    // Polls give up quickly, so a stalled network hides nothing for longer than a few seconds;
    // offers, answers, ends and candidates get a little longer.
    static constexpr std::chrono::milliseconds pollDeadline{3000};
    static constexpr std::chrono::milliseconds postDeadline{8000};

    void setDeadlineForTesting(std::chrono::milliseconds deadline);

private:
    template <class T>
    QCoro::Task<APIResult<T>> perform(QByteArray method, QString address, QJsonObject body, QString token);

    QString m_baseURL;
    HttpSession *m_session;     // POST
    HttpSession *m_pollSession; // GET
};
