#pragma once

#include "APIError.h"
#include "JsonReader.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// Records of the calls endpoint: keys exactly as listed, no snake-case conversion.
#define ORVANE_CALL_RECORD(Type)                                                                                   \
    static constexpr const char *recordName = #Type;                                                               \
    static constexpr JsonReader::Keys keyStyle = JsonReader::Keys::Exact;                                          \
    static Type read(JsonReader &r);                                                                               \
    static APIResult<Type> decode(const QByteArray &json) { return decodeRecord<Type>(json); }                     \
    QJsonObject toJson() const;                                                                                    \
    bool operator==(const Type &) const = default;

// Answer to every POST of the calls endpoint. error "busy" means the callee is in another call.
struct CallResponse {
    bool success = false;
    std::optional<QString> callId;
    std::optional<QString> error;
    std::optional<QString> message;

    ORVANE_CALL_RECORD(CallResponse)
};

struct IceCandidate {
    QString candidate;
    std::optional<QString> sdpMid;
    std::optional<qint64> sdpMLineIndex;

    // The outgoing form: exactly "candidate", "sdpMid" ("" when unknown) and "sdpMLineIndex" (0 when unknown).
    QJsonObject toDictionary() const;

    ORVANE_CALL_RECORD(IceCandidate)
};

struct CallData {
    QString id;
    QString status; // "active", "declined", "missed", "ended" matter; other values are ignored by callers
    std::optional<QString> offer;
    std::optional<QString> answer;
    std::optional<QList<IceCandidate>> callerCandidates;
    std::optional<QList<IceCandidate>> calleeCandidates;
    std::optional<bool> isCaller;

    ORVANE_CALL_RECORD(CallData)
};

struct CallStatusResponse {
    bool success = false;
    std::optional<CallData> call;
    std::optional<QString> error;

    ORVANE_CALL_RECORD(CallStatusResponse)
};

struct CallerInfo {
    QString id;
    std::optional<QString> name;
    std::optional<QString> username;
    std::optional<QString> avatar;

    ORVANE_CALL_RECORD(CallerInfo)
};

struct IncomingCallData {
    QString id;
    std::optional<QString> offer;
    std::optional<CallerInfo> caller;

    ORVANE_CALL_RECORD(IncomingCallData)
};

struct IncomingCallResponse {
    bool success = false;
    std::optional<IncomingCallData> incomingCall; // absent when nobody is calling
    std::optional<QString> error;

    ORVANE_CALL_RECORD(IncomingCallResponse)
};

// The call manager's status; rawValue() gives the string form ("idle", …, "noAnswer", …).
enum class CallManagerStatus { Idle, Initiating, Ringing, Connecting, Active, Ended, Declined, NoAnswer, Busy, Error };
QString rawValue(CallManagerStatus status);
std::optional<CallManagerStatus> callManagerStatusFromRawValue(const QString &value);
