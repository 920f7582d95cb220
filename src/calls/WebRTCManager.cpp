#include "WebRTCManager.h"

#include "AudioSettingsManager.h"
#include "CallNegotiation.h"
#include "CallPipeline.h"
#include "Diagnostics.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QJSEngine>
#include <QPromise>
#include <QThreadPool>

#include <gst/gst.h>

#include <cmath>
#include <limits>
#include <mutex>
#include <thread>

// GStreamer starts on first use rather than with the application: reading its plugin registry
// costs tens of milliseconds of CPU, which would otherwise delay the first frame.
// gst_is_initialized() turns true before the registry is loaded, so it cannot tell a caller that
// another thread is still starting GStreamer: every caller goes through the one flag instead.
void WebRTCManager::ensureGstreamer()
{
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

namespace {

const char *const requiredElements[] = {"webrtcbin", "webrtcdsp", "webrtcechoprobe", "opusenc", "opusdec",
                                        "rtpopuspay", "rtpopusdepay", "volume", "level", "audioconvert",
                                        "audioresample"};

bool requiredElementsPresent()
{
    for (const char *name : requiredElements) {
        GstElementFactory *factory = gst_element_factory_find(name);
        if (!factory)
            return false;
        gst_object_unref(factory);
    }
    return true;
}

} // namespace

QFuture<bool> WebRTCManager::mediaReady()
{
    static QFuture<bool> ready = [] {
        auto promise = std::make_shared<QPromise<bool>>();
        QFuture<bool> future = promise->future();
        promise->start();
        std::thread([promise] {
            ensureGstreamer();
            const bool present = requiredElementsPresent();
            // dtlsdec generates the process-wide certificate on creation; doing it here keeps
            // that cost out of the first call's set-up.
            if (GstElement *dtls = present ? gst_element_factory_make("dtlsdec", nullptr) : nullptr)
                gst_object_unref(dtls);
            promise->addResult(present);
            promise->finish();
        }).detach();
        return future;
    }();
    return ready;
}

WebRTCManager::WebRTCManager(MediaConfig config, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_negotiation(std::make_unique<CallNegotiation>(*this))
{
}

WebRTCManager::~WebRTCManager()
{
    if (m_pipeline)
        close();
}

WebRTCManager *WebRTCManager::shared()
{
    static WebRTCManager *instance = [] {
        auto *manager = new WebRTCManager(MediaConfig::fromEnvironment(), QCoreApplication::instance());
        manager->followAudioSettings(AudioSettingsManager::shared());
        diag(QStringLiteral("[WebRTC] ✅ WebRTC manager ready"));
        return manager;
    }();
    return instance;
}

WebRTCManager *WebRTCManager::create(QQmlEngine *, QJSEngine *)
{
    WebRTCManager *instance = shared();
    // The engine must not take ownership of the process-wide instance.
    QJSEngine::setObjectOwnership(instance, QJSEngine::CppOwnership);
    return instance;
}

bool WebRTCManager::ensureFactoryInitialized()
{
    if (m_factoryInitialized)
        return true;
    ensureGstreamer();
    diag(QStringLiteral("[WebRTC] Initializing WebRTC factory..."));
    if (!requiredElementsPresent())
        return false;
    m_factoryInitialized = true;
    diag(QStringLiteral("[WebRTC] ✅ Factory initialized"));
    return true;
}

void WebRTCManager::warmUp()
{
    mediaReady();
}

namespace {

// Name resolution can hang for as long as the resolver likes: it gets threads of its own, so a
// slow DNS never takes the threads the rest of the program uses.
QThreadPool &stunPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(4);
        p->setExpiryTimeout(5000);
        return p;
    }();
    return *pool;
}

} // namespace

void WebRTCManager::prepareCall(std::function<void(bool)> completion)
{
    // close() meanwhile resumes the waiting flow with false, like every other wait here.
    const quint64 id = m_negotiation->registerCompletion([completion] { completion(false); });
    struct Wait
    {
        std::optional<bool> ready;
        std::optional<QString> stun;
    };
    auto wait = std::make_shared<Wait>();
    auto finishIfDone = [this, id, completion, wait] {
        if (!wait->ready || !wait->stun || !m_negotiation->takeCompletion(id))
            return;
        m_preparedStun = *wait->stun;
        completion(*wait->ready);
    };

    auto *ready = new QFutureWatcher<bool>(this);
    connect(ready, &QFutureWatcher<bool>::finished, this, [ready, wait, finishIfDone] {
        wait->ready = ready->future().resultCount() > 0 && ready->future().result();
        ready->deleteLater();
        finishIfDone();
    });
    ready->setFuture(mediaReady());

    // Resolved for every call: a start-up without network must not leave later calls without STUN.
    if (m_config.stunServers.isEmpty()) {
        wait->stun = QString();
        return;
    }
    auto promise = std::make_shared<QPromise<QString>>();
    auto *resolved = new QFutureWatcher<QString>(this);
    connect(resolved, &QFutureWatcher<QString>::finished, this, [resolved, wait, finishIfDone] {
        if (!wait->stun && resolved->future().resultCount() > 0)
            wait->stun = resolved->future().result();
        resolved->deleteLater();
        finishIfDone();
    });
    resolved->setFuture(promise->future());
    promise->start();
    QTimer::singleShot(stunWaitMs, this, [wait, finishIfDone] {
        if (wait->stun)
            return;
        diag(QStringLiteral("[WebRTC] STUN servers did not resolve in time - calling without STUN"));
        wait->stun = QString();
        finishIfDone();
    });
    stunPool().start([promise, config = m_config] {
        promise->addResult(config.resolveStunServer());
        promise->finish();
    });
}

// ---------------------------------------------------------------------------------------------
// The connection

void WebRTCManager::createPeerConnection()
{
    if (m_pipeline)
        close();
    if (!ensureFactoryInitialized()) {
        diag(QStringLiteral("[WebRTC] Factory not initialized"));
        return;
    }
    m_negotiation->clearPendingIceCandidates();
    const int payload = m_config.opusPayload >= 96 && m_config.opusPayload <= 127 ? m_config.opusPayload : 96;
    if (!startPipeline(payload))
        return;
    emit hasPeerConnectionChanged();
    diag(QStringLiteral("[WebRTC] ✅ Local audio track added (microphone)"));
    diag(QStringLiteral("[WebRTC] ✅ Peer connection created with audio"));
}

bool WebRTCManager::startPipeline(int opusPayload)
{
    std::shared_ptr<CallPipeline> pipeline = CallPipeline::build(this, m_config, opusPayload, m_preparedStun);
    if (!pipeline)
        return false;
    CallNegotiation::watch(*pipeline);
    m_pipeline = pipeline;
    m_audio.apply();
    if (!pipeline->play()) {
        m_pipeline.reset();
        return false;
    }
    return true;
}

void WebRTCManager::createOffer(std::function<void(std::optional<SessionDescription>)> completion)
{
    m_negotiation->createDescription(true, std::move(completion));
}

void WebRTCManager::createAnswer(std::function<void(std::optional<SessionDescription>)> completion)
{
    m_negotiation->createDescription(false, std::move(completion));
}

void WebRTCManager::setRemoteDescription(const SessionDescription &description, std::function<void(bool)> completion)
{
    m_negotiation->setRemoteDescription(description, std::move(completion));
}

void WebRTCManager::addIceCandidate(const IceCandidate &candidate)
{
    m_negotiation->addIceCandidate(candidate);
}

bool WebRTCManager::hasRemoteDescription() const
{
    return m_pipeline && m_pipeline->remoteDescriptionSet;
}

bool WebRTCManager::hasRemoteAudioTrack() const
{
    return m_pipeline && m_pipeline->remoteTrack;
}

int WebRTCManager::pendingIceCandidateCount() const
{
    return m_negotiation->pendingIceCandidateCount();
}

GstElement *WebRTCManager::pipeline() const
{
    return m_pipeline ? m_pipeline->pipeline : nullptr;
}

int WebRTCManager::alivePipelineCount()
{
    return CallPipeline::aliveCount();
}

void WebRTCManager::setConnectionState(int state)
{
    if (state == Connected)
        m_audio.watchRemoteAudio();
    if (m_connectionState != state) {
        m_connectionState = state;
        emit connectionStateChanged();
    }
    if (onConnectionStateChanged)
        onConnectionStateChanged(state);
}

void WebRTCManager::close()
{
    diag(QStringLiteral("[WebRTC] Closing connection..."));
    if (std::shared_ptr<CallPipeline> pipeline = std::exchange(m_pipeline, nullptr)) {
        pipeline->release();
        emit hasPeerConnectionChanged();
    }
    m_negotiation->clearPendingIceCandidates();
    m_negotiation->abandonCompletions();
    if (m_connectionState != New) {
        m_connectionState = New;
        emit connectionStateChanged();
    }
    if (!m_isAudioEnabled) {
        m_isAudioEnabled = true;
        emit isAudioEnabledChanged();
    }
    m_audio.reset();
    m_reportedDevices.clear();
    diag(QStringLiteral("[WebRTC] Connection closed"));
}

// ---------------------------------------------------------------------------------------------
// Microphone permission

namespace {

bool captureDeviceExists()
{
    GstDeviceMonitor *monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Audio/Source", nullptr);
    bool found = false;
    GList *devices = gst_device_monitor_get_devices(monitor);
    for (GList *l = devices; l; l = l->next) {
        GstDevice *device = GST_DEVICE(l->data);
        bool monitorOfOutput = false;
        if (GstStructure *props = gst_device_get_properties(device)) {
            // A sound server's loop-back of an output is no microphone.
            const gchar *klass = gst_structure_get_string(props, "device.class");
            monitorOfOutput = klass && g_str_equal(klass, "monitor");
            gst_structure_free(props);
        }
        found = found || !monitorOfOutput;
    }
    g_list_free_full(devices, gst_object_unref);
    gst_object_unref(monitor);
    return found;
}

} // namespace

void WebRTCManager::checkMicrophonePermission(std::function<void(bool)> completion)
{
    auto finish = [completion = std::move(completion)](bool granted) {
        diag(granted ? QStringLiteral("[WebRTC] ✅ Microphone access granted")
                     : QStringLiteral("[WebRTC] ❌ Microphone access denied"));
        if (completion)
            completion(granted);
    };
    if (m_config.usesTestSource()) {
        QMetaObject::invokeMethod(this, [finish] { finish(true); }, Qt::QueuedConnection);
        return;
    }
    // Asking the sound server can take a while; the answer comes back through a watcher that
    // dies with this object.
    auto promise = std::make_shared<QPromise<bool>>();
    auto *watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcher<bool>::finished, this, [watcher, finish] {
        const bool granted = watcher->future().resultCount() > 0 && watcher->future().result();
        watcher->deleteLater();
        finish(granted);
    });
    watcher->setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise] {
        ensureGstreamer(); // here, not on the GUI thread: it may wait for the warm-up
        promise->addResult(captureDeviceExists());
        promise->finish();
    });
}

// ---------------------------------------------------------------------------------------------
// Conversions and names

QVariantMap WebRTCManager::iceCandidateToDict(const IceCandidate &candidate)
{
    return {
        {QStringLiteral("candidate"), candidate.candidate},
        {QStringLiteral("sdpMid"), candidate.sdpMid.value_or(QString())},
        {QStringLiteral("sdpMLineIndex"), qint32(candidate.sdpMLineIndex)},
    };
}

std::optional<WebRTCManager::IceCandidate> WebRTCManager::dictToIceCandidate(const QVariantMap &dict)
{
    const QVariant line = dict.value(QStringLiteral("candidate"));
    if (line.typeId() != QMetaType::QString)
        return std::nullopt;
    IceCandidate candidate;
    candidate.candidate = line.toString();
    const QVariant mid = dict.value(QStringLiteral("sdpMid"));
    if (mid.typeId() == QMetaType::QString)
        candidate.sdpMid = mid.toString();
    const QVariant index = dict.value(QStringLiteral("sdpMLineIndex"));
    switch (index.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double: {
        // JSON numbers may arrive as doubles; only whole numbers a 32-bit index can hold count.
        const double value = index.toDouble();
        if (std::floor(value) == value && value >= 0 && value <= double(std::numeric_limits<qint32>::max()))
            candidate.sdpMLineIndex = int(value);
        break;
    }
    default:
        break;
    }
    return candidate;
}

namespace {

QString nameAt(const std::initializer_list<const char *> &names, int value)
{
    if (value < 0 || value >= int(names.size()))
        return QStringLiteral("unknown");
    return QString::fromLatin1(*(names.begin() + value));
}

int indexOf(const std::initializer_list<const char *> &nicks, const QString &nick)
{
    int i = 0;
    for (const char *n : nicks) {
        if (nick == QLatin1String(n))
            return i;
        ++i;
    }
    return -1;
}

// Where GStreamer's nicks are the names we log, in the same order.
const std::initializer_list<const char *> peerConnectionStates{"new", "connecting", "connected", "disconnected",
                                                               "failed", "closed"};
const std::initializer_list<const char *> iceGatheringStates{"new", "gathering", "complete"};

} // namespace

QString WebRTCManager::peerConnectionStateName(int state)
{
    return nameAt(peerConnectionStates, state);
}

QString WebRTCManager::signalingStateName(int state)
{
    return nameAt({"stable", "haveLocalOffer", "haveLocalPrAnswer", "haveRemoteOffer", "haveRemotePrAnswer",
                   "closed"}, state);
}

QString WebRTCManager::iceConnectionStateName(int state)
{
    return nameAt({"new", "checking", "connected", "completed", "failed", "disconnected", "closed", "count"}, state);
}

QString WebRTCManager::iceGatheringStateName(int state)
{
    return nameAt(iceGatheringStates, state);
}

int WebRTCManager::peerConnectionStateFromNick(const QString &nick)
{
    return indexOf(peerConnectionStates, nick);
}

int WebRTCManager::signalingStateFromNick(const QString &nick)
{
    // GStreamer orders these stable, closed, have-local-offer, ...: match by name only.
    return indexOf({"stable", "have-local-offer", "have-local-pranswer", "have-remote-offer",
                    "have-remote-pranswer", "closed"}, nick);
}

int WebRTCManager::iceConnectionStateFromNick(const QString &nick)
{
    return indexOf({"new", "checking", "connected", "completed", "failed", "disconnected", "closed"}, nick);
}

int WebRTCManager::iceGatheringStateFromNick(const QString &nick)
{
    return indexOf(iceGatheringStates, nick);
}
