#include "CallManager.h"

#include "AuthManager.h"
#include "CallAPIClient.h"
#include "Diagnostics.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJSEngine>

#include <QCoro/QCoroTimer>

#include <gst/gst.h>

namespace {

QString errorText(const APIError &error)
{
    return error.description();
}

} // namespace

CallManager::CallManager(CallAPIClient *api, WebRTCManager *webRTC, TokenProvider token, QObject *parent)
    : QObject(parent)
    , m_api(api)
    , m_webRTC(webRTC)
    , m_token(std::move(token))
    , m_liveness(webRTC)
{
    m_statusTimer.setInterval(statusIntervalMs);
    m_iceCandidateTimer.setInterval(iceIntervalMs);
    m_durationTimer.setInterval(1000);
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(idleReturnMs);

    connect(&m_statusTimer, &QTimer::timeout, this, [this] { checkCallStatus(); });
    connect(&m_iceCandidateTimer, &QTimer::timeout, this, [this] { fetchIceCandidates(); });
    connect(&m_durationTimer, &QTimer::timeout, this, [this] { setCallDuration(m_callDuration + 1); });
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        if (m_status == CallManagerStatus::Ended)
            setStatus(CallManagerStatus::Idle);
    });

    // The media session reports on the GUI thread; the manager may be gone by then.
    QPointer<CallManager> self(this);
    m_webRTC->onIceCandidate = [self](const WebRTCManager::IceCandidate &candidate) {
        if (self)
            self->handleLocalCandidate(candidate);
    };
    m_webRTC->onConnectionStateChanged = [self](int state) {
        if (self)
            self->handleConnectionState(state);
    };
    m_isMuted = m_webRTC->isMuted();
    // The media turns mute and speaker back to on when a call closes; the published flags follow.
    connect(m_webRTC, &WebRTCManager::isMutedChanged, this, [this] {
        if (m_webRTC && m_isMuted != m_webRTC->isMuted()) {
            m_isMuted = m_webRTC->isMuted();
            emit isMutedChanged();
        }
    });
    connect(m_webRTC, &WebRTCManager::isSpeakerEnabledChanged, this, &CallManager::isSpeakerEnabledChanged);
    connect(&m_liveness, &CallLiveness::peerVanished, this, &CallManager::endVanishedCall);
}

CallManager::~CallManager()
{
    stopAudio();
    if (m_webRTC) {
        m_webRTC->onIceCandidate = nullptr;
        m_webRTC->onConnectionStateChanged = nullptr;
    }
}

CallManager *CallManager::shared()
{
    static CallManager *instance = new CallManager(
        CallAPIClient::shared(), WebRTCManager::shared(), [] { return AuthManager::shared().getToken(); },
        QCoreApplication::instance());
    return instance;
}

CallManager *CallManager::create(QQmlEngine *, QJSEngine *)
{
    CallManager *instance = shared();
    QJSEngine::setObjectOwnership(instance, QJSEngine::CppOwnership);
    return instance;
}

// Incoming poll

void CallManager::startPolling()
{
    if (m_isPolling)
        return;
    m_isPolling = true;
    m_incomingPoll.restart();
}

void CallManager::stopPolling()
{
    m_isPolling = false;
    m_incomingPoll.stop();
}

QCoro::Task<> CallManager::checkIncomingCalls()
{
    const auto token = m_token();
    if (!token) {
        stopPolling();
        co_return;
    }
    if (m_currentCallId || m_incomingInFlight)
        co_return;
    m_incomingInFlight = true;
    ++m_incomingRequests;
    QPointer<CallManager> self(this);
    QElapsedTimer waited;
    waited.start();
    auto result = co_await m_api->checkIncomingCall(*token);
    if (!self)
        co_return;
    m_incomingInFlight = false;
    if (!result) {
        diag(QStringLiteral("[CallManager] Polling error: ") + errorText(result.error()));
        // A request that hung past its deadline made the poll skip ticks: ask again at once, so
        // a call placed during a network stall shows as soon as the network is back.
        if (waited.elapsed() >= pollingIntervalMs && m_isPolling)
            QTimer::singleShot(0, this, [this] { checkIncomingCalls(); });
        co_return;
    }
    // A call that began while the request was out is not interrupted by a stale report.
    if (m_currentCallId || !result.value().incomingCall)
        co_return;
    const IncomingCallData &call = *result.value().incomingCall;
    if (m_reportedCalls.size() > 16)
        m_reportedCalls.clear();
    m_reportedCalls.insert(call.id, call);
    setIncomingCall(call);
    emit incomingCallReceived();
}

// Placing, answering, declining, ending

bool CallManager::isCallInProgress() const
{
    if (m_currentCallId)
        return true;
    switch (m_status) {
    case CallManagerStatus::Initiating:
    case CallManagerStatus::Ringing:
    case CallManagerStatus::Connecting:
    case CallManagerStatus::Active:
        return true;
    default:
        return false;
    }
}

QCoro::Task<std::optional<quint64>> CallManager::beginFlow(QString logLine, CallManagerStatus status)
{
    const bool muted = m_isMuted;
    const bool speaker = isSpeakerEnabled();
    if (isCallInProgress())
        endCurrentCall();
    setMuted(muted);
    setSpeakerEnabled(speaker);
    diag(logLine);
    m_idleTimer.stop();
    m_pendingIceCandidates.clear();
    const quint64 flow = ++m_flow;
    setStatus(status);
    QPointer<CallManager> self(this);
    QPointer<WebRTCManager> webRTC = m_webRTC;
    // The media may still be starting (warm-up on another thread): wait for it, not for luck.
    // Results of co_await are kept in named variables: GCC 12 mishandles some discarded ones.
    const bool ready = co_await webRTC->prepared();
    if (!self || !webRTC || flow != m_flow)
        co_return std::nullopt;
    if (!ready)
        diag(QStringLiteral("[WebRTC] Factory not initialized"));
    co_return flow;
}

std::optional<QString> CallManager::offerFor(const QString &callId) const
{
    if (m_incomingCall && m_incomingCall->id == callId)
        return m_incomingCall->offer;
    const auto it = m_reportedCalls.constFind(callId);
    return it == m_reportedCalls.constEnd() ? std::nullopt : it->offer;
}

QCoro::Task<bool> CallManager::initiateCall(QString calleeId)
{
    const auto token = m_token();
    if (!token)
        co_return false;
    const QString logLine = QStringLiteral("[CallManager] Initiating call to: ") + calleeId;
    const auto started = co_await beginFlow(logLine, CallManagerStatus::Initiating);
    if (!started)
        co_return false;
    const quint64 flow = *started;
    m_currentCalleeId = calleeId;
    m_answerSet = false;
    m_processedCandidates.clear();

    QPointer<CallManager> self(this);
    QPointer<WebRTCManager> webRTC = m_webRTC;
    // Whoever cancels a flow (end, decline, a newer call) releases its media; the flow only
    // steps aside when it resumes.
    auto cancelled = [&] { return !self || !webRTC || flow != m_flow; };
    const bool allowed = co_await webRTC->microphonePermission();
    if (cancelled())
        co_return false;
    if (!allowed) {
        diag(QStringLiteral("[CallManager] ❌ No microphone access!"));
        setStatus(CallManagerStatus::Error);
        co_return false;
    }
    diag(QStringLiteral("[CallManager] ✅ Microphone access granted"));
    webRTC->createPeerConnection();
    const auto offer = co_await webRTC->offer();
    if (cancelled())
        co_return false;
    if (!offer) {
        setStatus(CallManagerStatus::Error);
        releaseMedia();
        co_return false;
    }

    auto result = co_await m_api->initiateCall(*token, calleeId, offer->sdp);
    if (!self)
        co_return false;
    if (flow != m_flow) {
        // The member hung up while the server was placing the call: do not leave it ringing there.
        if (result && result.value().success && result.value().callId)
            postUntilAnswered(QStringLiteral("end"), *result.value().callId);
        co_return false;
    }
    if (!result) {
        diag(QStringLiteral("[CallManager] Initiate call error: ") + errorText(result.error()));
        setStatus(CallManagerStatus::Error);
        releaseMedia();
        co_return false;
    }
    const CallResponse &response = result.value();
    if (response.success && response.callId) {
        setCurrentCallId(*response.callId);
        setStatus(CallManagerStatus::Ringing);
        flushPendingIceCandidates();
        startCallPolls();
        co_return true;
    }
    setStatus(response.error == QStringLiteral("busy") ? CallManagerStatus::Busy : CallManagerStatus::Error);
    releaseMedia();
    co_return false;
}

QCoro::Task<bool> CallManager::answerCall(QString callId)
{
    const auto token = m_token();
    if (!token)
        co_return false;
    // The offer of the call the window shows, even when the poll has seen another one since;
    // taken before the call in progress ends, which forgets what the poll reported.
    const std::optional<QString> offerSdp = offerFor(callId);
    const QString logLine = QStringLiteral("[CallManager] Answering call: ") + callId;
    const auto started = co_await beginFlow(logLine, CallManagerStatus::Connecting);
    if (!started)
        co_return false;
    const quint64 flow = *started;
    QPointer<CallManager> self(this);
    QPointer<WebRTCManager> webRTC = m_webRTC;
    auto cancelled = [&] { return !self || !webRTC || flow != m_flow; };
    if (!offerSdp) {
        diag(QStringLiteral("[CallManager] No offer found in incoming call"));
        setStatus(CallManagerStatus::Error);
        co_return false;
    }
    webRTC->createPeerConnection();
    diag(QStringLiteral("[CallManager] Setting remote description (offer)"));
    bool applied = false;
    if (webRTC->hasPeerConnection()) {
        // A named description: GCC 12 destroys a braced temporary inside co_await twice.
        WebRTCManager::SessionDescription offer{WebRTCManager::Offer, *offerSdp};
        applied = co_await webRTC->remoteDescription(std::move(offer));
    }
    if (cancelled())
        co_return false;
    if (!applied) {
        diag(QStringLiteral("[CallManager] Failed to set remote description"));
        setStatus(CallManagerStatus::Error);
        releaseMedia();
        co_return false;
    }
    diag(QStringLiteral("[CallManager] Creating answer"));
    const auto answer = co_await webRTC->answer();
    if (cancelled())
        co_return false;
    if (!answer) {
        diag(QStringLiteral("[CallManager] Failed to create answer"));
        setStatus(CallManagerStatus::Error);
        releaseMedia();
        co_return false;
    }
    diag(QStringLiteral("[CallManager] Sending answer to server"));
    auto result = co_await m_api->answerCall(*token, callId, answer->sdp);
    if (!self)
        co_return false;
    if (flow != m_flow) {
        // Declined or ended while the answer was out: whatever the server made of it, end it.
        postUntilAnswered(QStringLiteral("end"), callId);
        co_return false;
    }
    if (!result || !result.value().success) {
        if (!result)
            diag(QStringLiteral("[CallManager] Answer call error: ") + errorText(result.error()));
        else
            diag(QStringLiteral("[CallManager] Server rejected answer"));
        // The reply may be what got lost, not the answer: the server may hold the call active.
        const bool tookEffect = co_await answerTookEffect(callId, answer->sdp);
        if (!self)
            co_return false;
        if (flow != m_flow) {
            postUntilAnswered(QStringLiteral("end"), callId);
            co_return false;
        }
        if (!tookEffect) {
            setStatus(CallManagerStatus::Error);
            releaseMedia();
            // Never active on one side only: whatever the server holds, it ends.
            postUntilAnswered(QStringLiteral("end"), callId);
            co_return false;
        }
        diag(QStringLiteral("[CallManager] The server took the answer; its reply was lost"));
    }
    diag(QStringLiteral("[CallManager] Call answered successfully!"));
    setCurrentCallId(callId);
    setStatus(CallManagerStatus::Active);
    setIncomingCall(std::nullopt);
    startDurationTimer();
    flushPendingIceCandidates();
    startCallPolls();
    m_liveness.arm();
    co_return true;
}

QCoro::Task<bool> CallManager::answerTookEffect(QString callId, QString answerSdp)
{
    QPointer<CallManager> self(this);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto token = m_token();
        if (!token)
            co_return false;
        auto status = co_await m_api->getCallStatus(*token, callId);
        if (!self)
            co_return false;
        if (status && status.value().call) {
            const CallData &call = *status.value().call;
            co_return call.status == QStringLiteral("active") && call.answer == answerSdp;
        }
        QCoro::Task<> pause = QCoro::sleepFor(std::chrono::milliseconds(500));
        co_await std::move(pause);
        if (!self)
            co_return false;
    }
    co_return false;
}

QCoro::Task<> CallManager::declineCall(QString callId)
{
    const auto token = m_token();
    if (!token)
        co_return;
    if (m_status == CallManagerStatus::Connecting && !m_currentCallId) {
        // Declined while the answer is being made or sent (the window closed meanwhile): the
        // answering stops here and nothing of its media stays open.
        ++m_flow;
        releaseMedia();
    }
    if (!m_currentCallId) {
        setIncomingCall(std::nullopt);
        setStatus(CallManagerStatus::Idle);
    }
    m_reportedCalls.remove(callId);
    QCoro::Task<> post = postUntilAnswered(QStringLiteral("decline"), callId);
    co_await std::move(post);
}

std::optional<QString> CallManager::stopCurrentCall()
{
    ++m_flow; // a placing or answering under way stops where it is
    const std::optional<QString> callId = m_currentCallId;
    if (callId)
        diag(QStringLiteral("[CallManager] Ending call: ") + *callId);
    releaseMedia();
    resetCallState();
    return callId;
}

void CallManager::endCurrentCall()
{
    if (const auto callId = stopCurrentCall())
        postUntilAnswered(QStringLiteral("end"), *callId);
}

QCoro::Task<> CallManager::endCall()
{
    // The state is reset before the request, so a window or a new call never waits for the server.
    const std::optional<QString> callId = stopCurrentCall();
    if (!callId)
        co_return;
    QCoro::Task<> post = postUntilAnswered(QStringLiteral("end"), *callId);
    co_await std::move(post);
}

QCoro::Task<> CallManager::postUntilAnswered(QString action, QString callId)
{
    const QString key = action + QLatin1Char(' ') + callId;
    if (m_unansweredPosts.contains(key))
        co_return;
    m_unansweredPosts.insert(key);
    QPointer<CallManager> self(this);
    const bool ending = action == QLatin1String("end");
    for (;;) {
        const auto token = m_token();
        if (!token)
            break; // signed out: the server ends idle calls by itself
        QCoro::Task<APIResult<CallResponse>> request =
            ending ? m_api->endCall(*token, callId) : m_api->declineCall(*token, callId);
        auto result = co_await std::move(request);
        if (!self)
            co_return;
        if (result) {
            if (ending)
                diag(QStringLiteral("[CallManager] Call ended on server"));
            break;
        }
        diag((ending ? QStringLiteral("[CallManager] End call error: ") : QStringLiteral("[CallManager] Decline call error: "))
             + errorText(result.error()));
        QCoro::Task<> pause = QCoro::sleepFor(std::chrono::milliseconds(retryIntervalMs));
        co_await std::move(pause);
        if (!self)
            co_return;
    }
    m_unansweredPosts.remove(key);
}

void CallManager::placeCall(const QString &calleeId) { initiateCall(calleeId); }
void CallManager::answer(const QString &callId) { answerCall(callId); }
void CallManager::decline(const QString &callId) { declineCall(callId); }
void CallManager::hangUp() { endCall(); }

void CallManager::releaseMedia()
{
    m_liveness.disarm();
    stopAllTimers();
    stopAudio();
    if (m_webRTC)
        m_webRTC->close();
}

void CallManager::resetCallState()
{
    setCurrentCallId(std::nullopt);
    m_currentCalleeId.reset();
    setStatus(CallManagerStatus::Ended);
    setCallDuration(0);
    setIncomingCall(std::nullopt);
    m_reportedCalls.clear();
    m_answerSet = false;
    m_processedCandidates.clear();
    m_pendingIceCandidates.clear();
    m_idleTimer.start();
}

// Status and ICE polls

void CallManager::startCallPolls()
{
    m_statusTimer.start();
    m_iceCandidateTimer.start();
}

void CallManager::stopAllTimers()
{
    m_statusTimer.stop();
    m_durationTimer.stop();
    m_iceCandidateTimer.stop();
}

QCoro::Task<> CallManager::checkCallStatus()
{
    const auto token = m_token();
    if (!token || !m_currentCallId || m_statusInFlight)
        co_return;
    const QString callId = *m_currentCallId;
    m_statusInFlight = true;
    QPointer<CallManager> self(this);
    auto result = co_await m_api->getCallStatus(*token, callId);
    if (!self)
        co_return;
    m_statusInFlight = false;
    if (!result) {
        diag(QStringLiteral("[CallManager] Status polling error: ") + errorText(result.error()));
        co_return;
    }
    // An answer about a call that is no longer the current one changes nothing.
    if (!result.value().call || m_currentCallId != callId)
        co_return;
    const QString status = result.value().call->status;
    if (status == QStringLiteral("active")) {
        if (m_status == CallManagerStatus::Ringing) {
            diag(QStringLiteral("[CallManager] Call answered by callee"));
            setStatus(CallManagerStatus::Active);
            startDurationTimer();
            startAudio();
            m_liveness.arm();
        }
    } else if (status == QStringLiteral("declined")) {
        finishByOtherSide(CallManagerStatus::Declined, QStringLiteral("[CallManager] Call was declined"));
    } else if (status == QStringLiteral("missed")) {
        finishByOtherSide(CallManagerStatus::NoAnswer, QStringLiteral("[CallManager] Call was missed"));
    } else if (status == QStringLiteral("ended")) {
        finishByOtherSide(CallManagerStatus::Ended, QStringLiteral("[CallManager] Call ended by other party"));
    }
}

void CallManager::finishByOtherSide(CallManagerStatus status, const QString &logLine)
{
    diag(logLine);
    ++m_flow;
    setStatus(status);
    releaseMedia();
    setCurrentCallId(std::nullopt);
}

void CallManager::endVanishedCall(const QString &reason)
{
    if (!m_currentCallId)
        return;
    const QString callId = *m_currentCallId;
    // Ended as if the other side had hung up: the windows show "ended"; the server learns it too.
    finishByOtherSide(CallManagerStatus::Ended,
                      QStringLiteral("[CallManager] The other side is gone (%1) - ending the call").arg(reason));
    postUntilAnswered(QStringLiteral("end"), callId);
}

QCoro::Task<> CallManager::fetchIceCandidates()
{
    const auto token = m_token();
    if (!token || !m_currentCallId || m_iceInFlight)
        co_return;
    const QString callId = *m_currentCallId;
    m_iceInFlight = true;
    QPointer<CallManager> self(this);
    auto result = co_await m_api->getCallStatus(*token, callId);
    if (!self)
        co_return;
    m_iceInFlight = false;
    if (!result) {
        diag(QStringLiteral("[CallManager] Fetch ICE candidates error: ") + errorText(result.error()));
        co_return;
    }
    if (!result.value().call || m_currentCallId != callId)
        co_return;
    const CallData &call = *result.value().call;
    const bool isCaller = call.isCaller.value_or(true);
    if (isCaller && !m_answerSet && call.answer) {
        diag(QStringLiteral("[CallManager] Got answer from callee, setting remote description"));
        // Set before the outcome is known: the answer is applied at most once per call.
        m_answerSet = true;
        if (!m_webRTC || !m_webRTC->hasPeerConnection()) {
            diag(QStringLiteral("[CallManager] Failed to set remote answer"));
        } else {
            m_webRTC->setRemoteDescription({WebRTCManager::Answer, *call.answer}, [](bool ok) {
                diag(ok ? QStringLiteral("[CallManager] Remote answer set successfully!")
                        : QStringLiteral("[CallManager] Failed to set remote answer"));
            });
        }
    }
    const auto &list = isCaller ? call.calleeCandidates : call.callerCandidates;
    if (list)
        addRemoteCandidates(*list);
}

void CallManager::addRemoteCandidates(const QList<IceCandidate> &candidates)
{
    for (const IceCandidate &entry : candidates) {
        if (m_processedCandidates.contains(entry.candidate))
            continue;
        m_processedCandidates.insert(entry.candidate);
        const auto candidate = WebRTCManager::dictToIceCandidate(entry.toDictionary().toVariantMap());
        if (!candidate || !m_webRTC)
            continue;
        diag(QStringLiteral("[CallManager] Adding remote ICE candidate"));
        m_webRTC->addIceCandidate(*candidate);
        ++m_remoteCandidatesAdded;
    }
}

// Local candidates and connection state

void CallManager::handleLocalCandidate(const WebRTCManager::IceCandidate &candidate)
{
    const QJsonObject dict = QJsonObject::fromVariantMap(WebRTCManager::iceCandidateToDict(candidate));
    if (m_currentCallId) {
        if (m_token())
            postIceCandidate(*m_currentCallId, dict);
        return;
    }
    // Found while the offer or answer is still on its way to the server.
    if (m_status == CallManagerStatus::Initiating || m_status == CallManagerStatus::Connecting)
        m_pendingIceCandidates.append(dict);
}

void CallManager::flushPendingIceCandidates()
{
    if (!m_currentCallId)
        return;
    const QList<QJsonObject> pending = std::exchange(m_pendingIceCandidates, {});
    for (const QJsonObject &dict : pending)
        postIceCandidate(*m_currentCallId, dict);
}

QCoro::Task<> CallManager::postIceCandidate(QString callId, QJsonObject candidate)
{
    const auto token = m_token();
    if (!token)
        co_return;
    auto result = co_await m_api->sendIceCandidate(*token, callId, candidate);
    // Only a log line follows: nothing of the manager is touched, so it may be gone.
    if (result)
        diag(QStringLiteral("[CallManager] ICE candidate sent to server"));
    else
        diag(QStringLiteral("[CallManager] Failed to send ICE candidate: ") + errorText(result.error()));
}

void CallManager::handleConnectionState(int state)
{
    diag(QStringLiteral("[CallManager] WebRTC connection state: ") + QString::number(state));
    switch (state) {
    case WebRTCManager::Connected:
        diag(QStringLiteral("[CallManager] WebRTC connected!"));
        // A connection that outlives its call (ended, declined) does not bring the call back.
        if (!m_currentCallId && m_status != CallManagerStatus::Initiating
            && m_status != CallManagerStatus::Connecting)
            return;
        if (m_status != CallManagerStatus::Active) {
            setStatus(CallManagerStatus::Active);
            startDurationTimer();
        }
        if (m_currentCallId)
            m_liveness.arm();
        break;
    case WebRTCManager::Disconnected:
        diag(QStringLiteral("[CallManager] WebRTC disconnected - waiting for reconnect..."));
        break;
    case WebRTCManager::Failed:
        diag(QStringLiteral("[CallManager] WebRTC failed - audio may still work via server relay"));
        break;
    default:
        break;
    }
}

// Duration and the local capture engine

void CallManager::startDurationTimer()
{
    setCallDuration(0);
    m_durationTimer.start();
}

void CallManager::startAudio()
{
    if (m_audioEngine || !m_webRTC)
        return;
    // A capture stream held open for the call, its buffers dropped; the call's audio itself
    // flows through the media session.
    const QString description = m_webRTC->config().sourceDescription
        + QStringLiteral(" ! audioconvert ! audio/x-raw,format=F32LE ! fakesink sync=false");
    WebRTCManager::ensureGstreamer();
    GError *error = nullptr;
    GstElement *engine = gst_parse_launch(description.toUtf8().constData(), &error);
    m_webRTC->applyDevices(engine);
    if (error || !engine || gst_element_set_state(engine, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        const QString message = error ? QString::fromUtf8(error->message) : QStringLiteral("cannot start capture");
        if (error)
            g_error_free(error);
        if (engine) {
            gst_element_set_state(engine, GST_STATE_NULL);
            gst_object_unref(engine);
        }
        diag(QStringLiteral("[CallManager] Failed to start audio engine: ") + message);
        return;
    }
    m_audioEngine = engine;
    diag(QStringLiteral("[CallManager] Audio engine started"));
}

void CallManager::stopAudio()
{
    if (!m_audioEngine)
        return;
    gst_element_set_state(m_audioEngine, GST_STATE_NULL);
    gst_object_unref(m_audioEngine);
    m_audioEngine = nullptr;
}

// Published fields

void CallManager::setStatus(CallManagerStatus status)
{
    if (m_status == status)
        return;
    m_status = status;
    emit callStatusChanged();
}

void CallManager::setCurrentCallId(std::optional<QString> id)
{
    if (m_currentCallId == id)
        return;
    m_currentCallId = std::move(id);
    emit currentCallIdChanged();
}

void CallManager::setIncomingCall(std::optional<IncomingCallData> call)
{
    if (m_incomingCall == call)
        return;
    // The media set-up costs up to a second the first time; pay it while the phone rings.
    if (call)
        WebRTCManager::mediaReady();
    m_incomingCall = std::move(call);
    emit incomingCallChanged();
}

void CallManager::setCallDuration(int seconds)
{
    if (m_callDuration == seconds)
        return;
    m_callDuration = seconds;
    emit callDurationChanged();
}

void CallManager::setSpeakerEnabled(bool enabled)
{
    if (m_webRTC)
        m_webRTC->setSpeakerEnabled(enabled);
}

void CallManager::setMuted(bool muted)
{
    if (m_webRTC)
        m_webRTC->setMuted(muted);
    if (m_isMuted == muted)
        return;
    m_isMuted = muted;
    emit isMutedChanged();
}

QVariantMap CallManager::incomingCallMap() const
{
    if (!m_incomingCall)
        return {};
    QVariantMap map;
    map.insert(QStringLiteral("id"), m_incomingCall->id);
    if (const auto &caller = m_incomingCall->caller) {
        map.insert(QStringLiteral("callerId"), caller->id);
        map.insert(QStringLiteral("callerName"), caller->name.value_or(QString()));
        map.insert(QStringLiteral("callerUsername"), caller->username.value_or(QString()));
        map.insert(QStringLiteral("callerAvatar"), caller->avatar.value_or(QString()));
    }
    return map;
}
