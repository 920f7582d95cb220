#pragma once

#include "CallAudioControls.h"
#include "MediaConfig.h"
#ifndef Q_MOC_RUN
#include "MediaCompletion.h" // moc cannot parse <coroutine>
#endif

#include <QFuture>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>
#include <optional>

class AudioSettingsManager;
class CallNegotiation;
struct CallPipeline;
class QQmlEngine;
class QJSEngine;
typedef struct _GstElement GstElement;

// One audio-only WebRTC call on a GStreamer pipeline built around webrtcbin, for QML and the call
// manager. The work is done by its parts: CallPipeline (the pipeline), CallNegotiation (offer,
// answer, candidates) and CallAudioControls (mute, volumes, devices, levels).
// Every callback and completion is delivered on the thread that owns the manager
// (the GUI thread); GStreamer's streaming threads never touch its state.
class WebRTCManager : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(int connectionState READ connectionState NOTIFY connectionStateChanged)
    Q_PROPERTY(bool isAudioEnabled READ isAudioEnabled NOTIFY isAudioEnabledChanged)
    Q_PROPERTY(bool isMuted READ isMuted WRITE setMuted NOTIFY isMutedChanged)
    Q_PROPERTY(bool isSpeakerEnabled READ isSpeakerEnabled WRITE setSpeakerEnabled NOTIFY isSpeakerEnabledChanged)
    Q_PROPERTY(double outputVolume READ outputVolume WRITE setOutputVolume NOTIFY outputVolumeChanged)
    Q_PROPERTY(double inputSensitivity READ inputSensitivity WRITE setInputSensitivity NOTIFY inputSensitivityChanged)
    Q_PROPERTY(bool hasPeerConnection READ hasPeerConnection NOTIFY hasPeerConnectionChanged)
    Q_PROPERTY(float inputLevel READ inputLevel NOTIFY inputLevelChanged)

public:
    enum PeerConnectionState { New = 0, Connecting = 1, Connected = 2, Disconnected = 3, Failed = 4, Closed = 5 };
    Q_ENUM(PeerConnectionState)
    enum SignalingState { Stable = 0, HaveLocalOffer = 1, HaveLocalPrAnswer = 2, HaveRemoteOffer = 3,
                          HaveRemotePrAnswer = 4, SignalingClosed = 5 };
    enum IceConnectionState { IceNew = 0, IceChecking = 1, IceConnected = 2, IceCompleted = 3, IceFailed = 4,
                              IceDisconnected = 5, IceClosed = 6, IceCount = 7 };
    enum IceGatheringState { GatheringNew = 0, Gathering = 1, GatheringComplete = 2 };
    // The numbering of the signalling exchange: offer 0, provisional answer 1, answer 2.
    enum SdpType { Offer = 0, PrAnswer = 1, Answer = 2 };

    struct SessionDescription
    {
        SdpType type = Offer;
        QString sdp;
    };

    struct IceCandidate
    {
        QString candidate;              // the SDP line, "candidate:..."
        std::optional<QString> sdpMid;
        int sdpMLineIndex = 0;
        bool operator==(const IceCandidate &) const = default;
    };

    // Not default-constructible on purpose: Qt 6.4's QML would otherwise build its own
    // instance instead of asking create() for the shared one.
    explicit WebRTCManager(MediaConfig config, QObject *parent = nullptr);
    ~WebRTCManager() override;

    // The process-wide instance, created on first use on the GUI thread and never released.
    static WebRTCManager *shared();
    // Starts GStreamer once; every entry point that builds elements calls it first. A caller that
    // comes while another thread is starting it waits until the plugin registry is loaded.
    static void ensureGstreamer();
    // GStreamer started, the call elements found and the DTLS certificate made, on a worker
    // thread, once per process: true when calls can be made. Started by warmUp() or the first call.
    static QFuture<bool> mediaReady();
    static WebRTCManager *create(QQmlEngine *, QJSEngine *);

    // Set once by the call manager; they survive close(). All run on the GUI thread.
    std::function<void(const IceCandidate &)> onIceCandidate;
    std::function<void(int state)> onConnectionStateChanged;
    std::function<void()> onRemoteAudioTrack;

    // Every completion below runs exactly once, later, on the GUI thread; when close() or a new
    // createPeerConnection() intervenes it runs with nothing / false.
    void createPeerConnection();
    void createOffer(std::function<void(std::optional<SessionDescription>)> completion);
    void createAnswer(std::function<void(std::optional<SessionDescription>)> completion);
    // Completion(true) comes after the buffered remote candidates were added.
    void setRemoteDescription(const SessionDescription &description, std::function<void(bool)> completion);
    void addIceCandidate(const IceCandidate &candidate);
    void close();

    // Granted when the configured source is a test source or a capture device exists.
    void checkMicrophonePermission(std::function<void(bool)> completion);
    // Before each call's createPeerConnection(): waits, without holding the GUI thread, for
    // mediaReady(), and resolves this call's STUN server on a worker thread for at most
    // stunWaitMs (a slow or absent DNS means a call without STUN, never a longer wait).
    // Completion(false) when the media cannot start or close() intervened.
    void prepareCall(std::function<void(bool)> completion);
    static constexpr int stunWaitMs = 2000;
    // The STUN server the next createPeerConnection() uses ("stun://address:port"), or empty.
    QString preparedStunServer() const { return m_preparedStun; }

#ifndef Q_MOC_RUN
    // The same operations for coroutines: `auto offer = co_await webRTC->offer();`
    MediaCompletion<std::optional<SessionDescription>> offer()
    {
        return MediaCompletion<std::optional<SessionDescription>>([this](auto done) { createOffer(std::move(done)); });
    }
    MediaCompletion<std::optional<SessionDescription>> answer()
    {
        return MediaCompletion<std::optional<SessionDescription>>([this](auto done) { createAnswer(std::move(done)); });
    }
    MediaCompletion<bool> remoteDescription(SessionDescription description)
    {
        return MediaCompletion<bool>([this, description = std::move(description)](auto done) {
            setRemoteDescription(description, std::move(done));
        });
    }
    MediaCompletion<bool> prepared()
    {
        return MediaCompletion<bool>([this](auto done) { prepareCall(std::move(done)); });
    }
    MediaCompletion<bool> microphonePermission()
    {
        return MediaCompletion<bool>([this](auto done) { checkMicrophonePermission(std::move(done)); });
    }
#endif
    // Starts mediaReady() in the background: about a second the first time, and several megabytes,
    // so it runs only once a call is likely (a screen with a call button, an incoming call), not
    // at every start.
    void warmUp();

    static QVariantMap iceCandidateToDict(const IceCandidate &candidate);
    static std::optional<IceCandidate> dictToIceCandidate(const QVariantMap &dict);

    static QString peerConnectionStateName(int state);
    static QString signalingStateName(int state);
    static QString iceConnectionStateName(int state);
    static QString iceGatheringStateName(int state);
    // GStreamer enum nicks ("have-local-offer", ...) to the numbering above; -1 when unknown.
    static int peerConnectionStateFromNick(const QString &nick);
    static int signalingStateFromNick(const QString &nick);
    static int iceConnectionStateFromNick(const QString &nick);
    static int iceGatheringStateFromNick(const QString &nick);

    int connectionState() const { return m_connectionState; }
    // Sent-audio level after mute and sensitivity, 0..1 (RMS x 5, capped), for a call's meter.
    float inputLevel() const { return m_audio.inputLevel(); }
    bool isAudioEnabled() const { return m_isAudioEnabled; }
    bool hasPeerConnection() const { return m_pipeline != nullptr; }
    bool hasRemoteDescription() const;
    bool hasRemoteAudioTrack() const;
    int pendingIceCandidateCount() const;

    // Live controls. Output volume and sensitivity also apply to the next call; mute and speaker
    // belong to one call: close() turns the microphone and the speaker back on.
    bool isMuted() const { return m_audio.isMuted(); }
    void setMuted(bool muted) { m_audio.setMuted(muted); }
    bool isSpeakerEnabled() const { return m_audio.isSpeakerEnabled(); }
    void setSpeakerEnabled(bool enabled) { m_audio.setSpeakerEnabled(enabled); }
    double outputVolume() const { return m_audio.outputVolume(); }
    void setOutputVolume(double volume) { m_audio.setOutputVolume(volume); }
    double inputSensitivity() const { return m_audio.inputSensitivity(); }
    // Capture gain = 2 x sensitivity: 0.5 is unity, 1.0 is +6 dB, 0 silences the microphone.
    void setInputSensitivity(double sensitivity) { m_audio.setInputSensitivity(sensitivity); }
    Q_INVOKABLE static double captureGainForSensitivity(double sensitivity)
    {
        return CallAudioControls::captureGain(sensitivity);
    }
    // Output volume and sensitivity follow the member's settings from now on, live.
    void followAudioSettings(AudioSettingsManager *settings) { m_audio.followAudioSettings(settings); }

    // Remote RTP that stops arriving while connected for this long emits remoteAudioInactive().
    // A quiet peer still sends (Opus DTX is off), so only a peer gone from the network trips it.
    int inactivityTimeoutMs() const { return m_audio.inactivityTimeoutMs(); }
    void setInactivityTimeoutMs(int ms) { m_audio.setInactivityTimeoutMs(ms); }

    const MediaConfig &config() const { return m_config; }
    // Points this call's sound-server elements (its pipeline, or a capture stream held open beside
    // it) at the chosen devices; a chosen device that is missing is reported once per call.
    void applyDevices(GstElement *bin) { m_config.applyDevices(bin, &m_reportedDevices); }
    // Takes effect with the next createPeerConnection().
    void setConfig(const MediaConfig &config) { m_config = config; }
    // The current call's pipeline (for inspection and tests); null without a connection.
    GstElement *pipeline() const;
    // Call pipelines alive in the process, finalised ones excluded.
    static int alivePipelineCount();

signals:
    void connectionStateChanged();
    void isAudioEnabledChanged();
    void isMutedChanged();
    void isSpeakerEnabledChanged();
    void outputVolumeChanged();
    void inputSensitivityChanged();
    void hasPeerConnectionChanged();
    void remoteAudioTrackAdded();
    // First decoded remote audio of the current connection.
    void remoteAudioStarted();
    void remoteAudioInactive();
    void remoteAudioResumed();
    void iceConnectionStateChanged(int state);
    void inputLevelChanged();

private:
    friend struct CallPipeline;
    friend class CallNegotiation;

    void setConnectionState(int state);
    bool startPipeline(int opusPayload);
    bool ensureFactoryInitialized();

    MediaConfig m_config;
    std::shared_ptr<CallPipeline> m_pipeline;
    std::unique_ptr<CallNegotiation> m_negotiation;
    CallAudioControls m_audio{*this, m_pipeline};
    int m_connectionState = New;
    bool m_isAudioEnabled = true;
    bool m_factoryInitialized = false;
    QString m_preparedStun;
    QStringList m_reportedDevices;
};
