#include "CallRecords.h"

#include "RecordJson.h"

using namespace recordjson;

// CallResponse

CallResponse CallResponse::read(JsonReader &r)
{
    CallResponse c;
    c.success = r.boolean("success");
    c.callId = r.optString("callId");
    c.error = r.optString("error");
    c.message = r.optString("message");
    return c;
}

QJsonObject CallResponse::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("success"), success);
    put(o, "callId", callId);
    put(o, "error", error);
    put(o, "message", message);
    return o;
}

// IceCandidate

QJsonObject IceCandidate::toDictionary() const
{
    QJsonObject o;
    o.insert(QLatin1String("candidate"), candidate);
    o.insert(QLatin1String("sdpMid"), sdpMid.value_or(QString()));
    o.insert(QLatin1String("sdpMLineIndex"), int(sdpMLineIndex.value_or(0)));
    return o;
}

IceCandidate IceCandidate::read(JsonReader &r)
{
    IceCandidate c;
    c.candidate = r.string("candidate");
    c.sdpMid = r.optString("sdpMid");
    c.sdpMLineIndex = r.optInteger("sdpMLineIndex");
    return c;
}

QJsonObject IceCandidate::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("candidate"), candidate);
    put(o, "sdpMid", sdpMid);
    put(o, "sdpMLineIndex", sdpMLineIndex);
    return o;
}

// CallData

CallData CallData::read(JsonReader &r)
{
    CallData c;
    c.id = r.string("id");
    c.status = r.string("status");
    c.offer = r.optString("offer");
    c.answer = r.optString("answer");
    c.callerCandidates = r.optList<IceCandidate>("callerCandidates");
    c.calleeCandidates = r.optList<IceCandidate>("calleeCandidates");
    c.isCaller = r.optBool("isCaller");
    return c;
}

QJsonObject CallData::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), id);
    o.insert(QLatin1String("status"), status);
    put(o, "offer", offer);
    put(o, "answer", answer);
    putList(o, "callerCandidates", callerCandidates);
    putList(o, "calleeCandidates", calleeCandidates);
    put(o, "isCaller", isCaller);
    return o;
}

// CallStatusResponse

CallStatusResponse CallStatusResponse::read(JsonReader &r)
{
    CallStatusResponse c;
    c.success = r.boolean("success");
    c.call = r.optRecord<CallData>("call");
    c.error = r.optString("error");
    return c;
}

QJsonObject CallStatusResponse::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("success"), success);
    putRecord(o, "call", call);
    put(o, "error", error);
    return o;
}

// CallerInfo

CallerInfo CallerInfo::read(JsonReader &r)
{
    CallerInfo c;
    c.id = r.string("id");
    c.name = r.optString("name");
    c.username = r.optString("username");
    c.avatar = r.optString("avatar");
    return c;
}

QJsonObject CallerInfo::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), id);
    put(o, "name", name);
    put(o, "username", username);
    put(o, "avatar", avatar);
    return o;
}

// IncomingCallData

IncomingCallData IncomingCallData::read(JsonReader &r)
{
    IncomingCallData c;
    c.id = r.string("id");
    c.offer = r.optString("offer");
    c.caller = r.optRecord<CallerInfo>("caller");
    return c;
}

QJsonObject IncomingCallData::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), id);
    put(o, "offer", offer);
    putRecord(o, "caller", caller);
    return o;
}

// IncomingCallResponse

IncomingCallResponse IncomingCallResponse::read(JsonReader &r)
{
    IncomingCallResponse c;
    c.success = r.boolean("success");
    c.incomingCall = r.optRecord<IncomingCallData>("incomingCall");
    c.error = r.optString("error");
    return c;
}

QJsonObject IncomingCallResponse::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("success"), success);
    putRecord(o, "incomingCall", incomingCall);
    put(o, "error", error);
    return o;
}

// CallManagerStatus

QString rawValue(CallManagerStatus status)
{
    switch (status) {
    case CallManagerStatus::Idle: return QStringLiteral("idle");
    case CallManagerStatus::Initiating: return QStringLiteral("initiating");
    case CallManagerStatus::Ringing: return QStringLiteral("ringing");
    case CallManagerStatus::Connecting: return QStringLiteral("connecting");
    case CallManagerStatus::Active: return QStringLiteral("active");
    case CallManagerStatus::Ended: return QStringLiteral("ended");
    case CallManagerStatus::Declined: return QStringLiteral("declined");
    case CallManagerStatus::NoAnswer: return QStringLiteral("noAnswer");
    case CallManagerStatus::Busy: return QStringLiteral("busy");
    case CallManagerStatus::Error: break;
    }
    return QStringLiteral("error");
}

std::optional<CallManagerStatus> callManagerStatusFromRawValue(const QString &value)
{
    for (int i = int(CallManagerStatus::Idle); i <= int(CallManagerStatus::Error); ++i) {
        if (rawValue(CallManagerStatus(i)) == value)
            return CallManagerStatus(i);
    }
    return std::nullopt;
}
