#pragma once

#include "CallLiveness.h"
#include "CallRecords.h"
#include "IncomingCallPolling.h"
#include "Poller.h"
#include "WebRTCManager.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <QCoro/QCoroTask>

#include <functional>
#include <optional>

class CallAPIClient;
class QQmlEngine;
class QJSEngine;
typedef struct _GstElement GstElement;

// Signalling of one-to-one voice calls over the polled calls endpoint: places, answers, declines
// and ends calls, drives the WebRTC session through offer, answer and ICE, and keeps the status
// and duration the call windows observe. All state lives on the GUI thread.
class CallManager : public QObject, public IncomingCallPolling
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString currentCallId READ currentCallIdString NOTIFY currentCallIdChanged)
    Q_PROPERTY(QString callStatus READ callStatusName NOTIFY callStatusChanged)
    Q_PROPERTY(QVariantMap incomingCall READ incomingCallMap NOTIFY incomingCallChanged)
    Q_PROPERTY(bool isMuted READ isMuted WRITE setMuted NOTIFY isMutedChanged)
    Q_PROPERTY(bool isSpeakerEnabled READ isSpeakerEnabled WRITE setSpeakerEnabled NOTIFY isSpeakerEnabledChanged)
    Q_PROPERTY(int callDuration READ callDuration NOTIFY callDurationChanged)

public:
    using TokenProvider = std::function<std::optional<QString>()>;

    static constexpr int pollingIntervalMs = 2000;
    static constexpr int statusIntervalMs = 1000;
    static constexpr int iceIntervalMs = 1000;
    static constexpr int idleReturnMs = 2000;
    // An end or decline the server did not answer is sent again this often, until it answers or
    // the member signs out.
    static constexpr int retryIntervalMs = 2000;

    // One manager per signed-in member; tests run two side by side, each with its own media session.
    CallManager(CallAPIClient *api, WebRTCManager *webRTC, TokenProvider token, QObject *parent);
    ~CallManager() override;

    // The instance of the run: CallAPIClient::shared(), WebRTCManager::shared(), AuthManager's token.
    static CallManager *shared();
    static CallManager *create(QQmlEngine *, QJSEngine *);

    // IncomingCallPolling
    void startPolling() override;
    void stopPolling() override;
    bool isPolling() const { return m_isPolling; }

    // One call at a time: placing or answering while another call is under way first ends that
    // one the way its End button does (DESIGN F17).
    QCoro::Task<bool> initiateCall(QString calleeId);
    // Answers the reported call with this id, with that call's own offer.
    QCoro::Task<bool> answerCall(QString callId);
    // Declining the call being answered also stops the answering and releases its media.
    QCoro::Task<> declineCall(QString callId);
    // The state is reset at once; the end request follows (and is retried) in the background.
    QCoro::Task<> endCall();
    // Placing, ringing, answering or talking: a call whose media or server state is alive.
    bool isCallInProgress() const;

    // The same flows for QML, which watches callStatus instead of a result.
    Q_INVOKABLE void placeCall(const QString &calleeId);
    Q_INVOKABLE void answer(const QString &callId);
    Q_INVOKABLE void decline(const QString &callId);
    Q_INVOKABLE void hangUp();
    // Speaker off silences what this side plays.
    Q_INVOKABLE void setSpeakerEnabled(bool enabled);
    bool isSpeakerEnabled() const { return m_webRTC ? m_webRTC->isSpeakerEnabled() : true; }

    std::optional<QString> currentCallId() const { return m_currentCallId; }
    QString currentCallIdString() const { return m_currentCallId.value_or(QString()); }
    CallManagerStatus status() const { return m_status; }
    QString callStatusName() const { return rawValue(m_status); }
    const std::optional<IncomingCallData> &incomingCall() const { return m_incomingCall; }
    QVariantMap incomingCallMap() const;
    bool isMuted() const { return m_isMuted; }
    // Mute silences what this side sends.
    void setMuted(bool muted);
    int callDuration() const { return m_callDuration; }
    std::optional<QString> currentCalleeId() const { return m_currentCalleeId; }
    bool answerSet() const { return m_answerSet; }
    QList<QJsonObject> pendingIceCandidates() const { return m_pendingIceCandidates; }
    bool isAudioEngineRunning() const { return m_audioEngine != nullptr; }
    WebRTCManager *webRTC() const { return m_webRTC; }

    // For tests: whether the return to idle after a reset is still to come, and the poll steps run
    // directly (each is what one timer tick does).
    bool isIdleReturnPending() const { return m_idleTimer.isActive(); }
    bool isDurationTimerRunning() const { return m_durationTimer.isActive(); }
    bool isStatusPollRunning() const { return m_statusTimer.isActive(); }
    bool isLivenessArmed() const { return m_liveness.isArmed(); }
    // Ends and declines still waiting for the server's answer.
    int unansweredPostCount() const { return int(m_unansweredPosts.size()); }
    QCoro::Task<> checkIncomingCalls();
    QCoro::Task<> checkCallStatus();
    QCoro::Task<> fetchIceCandidates();
    // Counts of requests sent, so tests can tell a skipped poll from one that found nothing.
    int incomingPollRequestCount() const { return m_incomingRequests; }
    int remoteCandidatesAdded() const { return m_remoteCandidatesAdded; }

signals:
    void currentCallIdChanged();
    void callStatusChanged();
    void incomingCallChanged();
    void isMutedChanged();
    void isSpeakerEnabledChanged();
    void callDurationChanged();
    // The incoming poll found a call; the call windows show it (an open window stays as it is).
    void incomingCallReceived();

private:
    void handleLocalCandidate(const WebRTCManager::IceCandidate &candidate);
    void handleConnectionState(int state);
    QCoro::Task<> postIceCandidate(QString callId, QJsonObject candidate);
    void flushPendingIceCandidates();
    void addRemoteCandidates(const QList<IceCandidate> &candidates);

    void setStatus(CallManagerStatus status);
    void setCurrentCallId(std::optional<QString> id);
    void setIncomingCall(std::optional<IncomingCallData> call);
    void setCallDuration(int seconds);
    void startDurationTimer();
    void startCallPolls();
    void stopAllTimers();
    // Pipeline closed (microphone and speaker back on for the next call), capture engine
    // stopped, polls and the liveness watch stopped. Every way out of a call goes through here.
    void releaseMedia();
    // The server reports the call over (declined, missed, ended): state, polls, media and id go.
    void finishByOtherSide(CallManagerStatus status, const QString &logLine);
    // The other side is gone without hanging up: end the call here as if it had.
    void endVanishedCall(const QString &reason);
    // The End button's path, without waiting for the server: media released, state reset, end
    // posted in the background.
    void endCurrentCall();
    // endCurrentCall() without the request: the id of the call the server should end, if any.
    std::optional<QString> stopCurrentCall();
    void resetCallState();
    void startAudio();
    void stopAudio();
    // Placing or answering begins: the call in progress ends (the mute and speaker the new window
    // shows carry over), what an earlier call left behind is forgotten, the status moves on and the
    // media gets ready. Returns the flow's number, or nothing when the flow was cancelled meanwhile
    // (the manager may be gone then). A flow whose number is no longer current was cancelled
    // (ended, declined, replaced) and must neither touch the media nor the state when it resumes.
    QCoro::Task<std::optional<quint64>> beginFlow(QString logLine, CallManagerStatus status);
    // The offer of a reported call, by id.
    std::optional<QString> offerFor(const QString &callId) const;
    // Posts "end" or "decline" until the server answers or the member signs out.
    QCoro::Task<> postUntilAnswered(QString action, QString callId);
    // After an answer whose reply did not come back (or was refused): whether the server made the
    // call active with this answer all the same.
    QCoro::Task<bool> answerTookEffect(QString callId, QString answerSdp);

    CallAPIClient *m_api;
    QPointer<WebRTCManager> m_webRTC;
    TokenProvider m_token;

    std::optional<QString> m_currentCallId;
    CallManagerStatus m_status = CallManagerStatus::Idle;
    std::optional<IncomingCallData> m_incomingCall;
    bool m_isMuted = false;
    int m_callDuration = 0;
    bool m_isPolling = false;
    std::optional<QString> m_currentCalleeId;
    bool m_answerSet = false;
    QSet<QString> m_processedCandidates;
    // Local candidates found before the server gave the call id; posted once it is known.
    QList<QJsonObject> m_pendingIceCandidates;
    GstElement *m_audioEngine = nullptr;
    quint64 m_flow = 0;
    // Offers of the calls the incoming poll reported, so an answer uses its own call's offer.
    QHash<QString, IncomingCallData> m_reportedCalls;
    QSet<QString> m_unansweredPosts;
    CallLiveness m_liveness;

    // Backs off like the other polls while the server cannot be reached.
    Poller m_incomingPoll{std::chrono::milliseconds(pollingIntervalMs), [this](bool) { return checkIncomingCalls(); }};
    QTimer m_durationTimer;
    QTimer m_statusTimer;
    QTimer m_iceCandidateTimer;
    QTimer m_idleTimer;
    // A tick is skipped while the previous one still waits for the server, so a slow server
    // never piles up requests.
    bool m_incomingInFlight = false;
    bool m_statusInFlight = false;
    bool m_iceInFlight = false;
    int m_incomingRequests = 0;
    int m_remoteCandidatesAdded = 0;
};
