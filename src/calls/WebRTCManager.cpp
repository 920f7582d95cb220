#include "WebRTCManager.h"

#include "AudioSettingsManager.h"
#include "Diagnostics.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFutureWatcher>
#include <QHostAddress>
#include <QJSEngine>
#include <QPromise>
#include <QThreadPool>

#define GST_USE_UNSTABLE_API
#include <gst/gst.h>
#include <gst/sdp/sdp.h>
#include <gst/webrtc/webrtc.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

std::atomic<int> g_alivePipelines{0};
std::atomic<quint64> g_probeCounter{0};

void pipelineFinalized(gpointer, GObject *)
{
    --g_alivePipelines;
}

qint64 monotonicMs()
{
    return qint64(g_get_monotonic_time() / 1000);
}

QString enumNick(GType type, int value)
{
    auto *klass = static_cast<GEnumClass *>(g_type_class_ref(type));
    const GEnumValue *v = g_enum_get_value(klass, value);
    QString nick = v ? QString::fromUtf8(v->value_nick) : QString();
    g_type_class_unref(klass);
    return nick;
}

QString promiseError(GstPromise *promise)
{
    if (gst_promise_wait(promise) != GST_PROMISE_RESULT_REPLIED)
        return QStringLiteral("no reply");
    const GstStructure *reply = gst_promise_get_reply(promise);
    if (!reply || !gst_structure_has_field(reply, "error"))
        return {};
    GError *error = nullptr;
    gst_structure_get(reply, "error", G_TYPE_ERROR, &error, nullptr);
    const QString text = error ? QString::fromUtf8(error->message) : QStringLiteral("unknown error");
    if (error)
        g_error_free(error);
    return text;
}

// The connection address of a "candidate:" line, or empty when the line is malformed.
QString candidateAddress(const QString &line)
{
    QString body = line.trimmed();
    if (body.startsWith(QLatin1String("a=")))
        body = body.mid(2);
    if (!body.startsWith(QLatin1String("candidate:")))
        return {};
    const QStringList fields = body.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    // foundation component transport priority address port "typ" type
    if (fields.size() < 8 || fields.at(6) != QLatin1String("typ"))
        return {};
    return fields.at(4);
}

// The payload number of Opus in the first audio section of an SDP, or -1.
int opusPayload(const GstSDPMessage *sdp)
{
    for (guint i = 0; i < gst_sdp_message_medias_len(sdp); ++i) {
        const GstSDPMedia *media = gst_sdp_message_get_media(sdp, i);
        if (g_strcmp0(gst_sdp_media_get_media(media), "audio") != 0)
            continue;
        // Formats in order of the remote's preference.
        for (guint f = 0; f < gst_sdp_media_formats_len(media); ++f) {
            const int pt = QByteArray(gst_sdp_media_get_format(media, f)).toInt();
            for (guint a = 0; a < gst_sdp_media_attributes_len(media); ++a) {
                const GstSDPAttribute *attr = gst_sdp_media_get_attribute(media, a);
                if (g_strcmp0(attr->key, "rtpmap") != 0 || !attr->value)
                    continue;
                const QByteArray value(attr->value);
                const int space = value.indexOf(' ');
                if (space > 0 && value.left(space).toInt() == pt
                    && value.mid(space + 1).toLower().startsWith("opus/48000"))
                    return pt;
            }
        }
        return -1;
    }
    return -1;
}

QStringList mediaIds(const QString &sdpText)
{
    QStringList mids;
    bool inMedia = false;
    for (const QString &raw : sdpText.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1String("m="))) {
            mids.append(QString());
            inMedia = true;
        } else if (inMedia && line.startsWith(QLatin1String("a=mid:"))) {
            mids.last() = line.mid(6);
        }
    }
    return mids;
}

} // namespace

// Everything one call's pipeline shares with GStreamer's threads. Streaming threads only read
// the element pointers and post work to the owner; the owner pointer is cleared under the mutex
// when the call is closed, after which nothing they post arrives.
struct WebRTCManager::Session : std::enable_shared_from_this<WebRTCManager::Session>
{
    std::mutex mutex;
    WebRTCManager *owner = nullptr;
    QStringList localMids;   // guarded by mutex: written by a promise, read by the ICE callback
    QString lastError;       // guarded by mutex: written by the bus handler

    GstElement *pipeline = nullptr;
    GstElement *webrtc = nullptr;
    GstElement *captureVolume = nullptr;
    GstElement *playbackVolume = nullptr;
    GstElement *playbackIn = nullptr;
    GstElement *payloader = nullptr;

    std::atomic<qint64> lastRemoteRtpMs{0};
    std::atomic<bool> remoteAudioSeen{false};
    std::atomic<bool> remotePadLinked{false};
    int opusPayload = 0;
    bool localDescriptionRequested = false;

    // GUI thread only.
    bool remoteDescriptionSet = false;
    int remoteMediaCount = 0;
    bool remoteTrack = false;
    int iceState = IceNew;
    qint64 connectedSinceMs = 0;

    void post(std::function<void(WebRTCManager *)> work)
    {
        std::lock_guard lock(mutex);
        if (!owner)
            return;
        QMetaObject::invokeMethod(
            owner,
            [self = shared_from_this(), work = std::move(work)] {
                WebRTCManager *manager = self->owner;
                if (manager && manager->m_session == self)
                    work(manager);
            },
            Qt::QueuedConnection);
    }

    // A strong reference for each GLib callback, released when GLib drops the callback.
    gpointer ref() { return new std::shared_ptr<Session>(shared_from_this()); }
    static void unref(gpointer data, GClosure * = nullptr) { delete static_cast<std::shared_ptr<Session> *>(data); }
    static Session *from(gpointer data) { return static_cast<std::shared_ptr<Session> *>(data)->get(); }

    static void onDescriptionCreated(GstPromise *promise, gpointer data);
    static void onLocalDescriptionSet(GstPromise *promise, gpointer data);
    static void onRemoteDescriptionSet(GstPromise *promise, gpointer data);
};

namespace {

// One offer, answer or remote description in flight between the GUI thread and GStreamer's.
struct DescriptionRequest
{
    std::shared_ptr<WebRTCManager::Session> session;
    quint64 id = 0;
    bool offer = true;
    QString sdp;
    int mediaCount = 0;
    std::function<void(std::optional<WebRTCManager::SessionDescription>)> completion;
    std::function<void(bool)> remoteCompletion;
};

} // namespace

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
{
    m_inactivityTimer.setInterval(250);
    connect(&m_inactivityTimer, &QTimer::timeout, this, &WebRTCManager::checkInactivity);
}

WebRTCManager::~WebRTCManager()
{
    if (m_session)
        close();
    m_abandonedCompletions.clear();
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
    auto once = std::make_shared<std::function<void(bool)>>(std::move(completion));
    // close() meanwhile resumes the waiting flow with false, like every other wait here.
    const quint64 id = registerCompletion([once] { (*once)(false); });
    struct Wait
    {
        std::optional<bool> ready;
        std::optional<QString> stun;
    };
    auto wait = std::make_shared<Wait>();
    auto finishIfDone = [this, id, once, wait] {
        if (!wait->ready || !wait->stun || !takeCompletion(id))
            return;
        m_preparedStun = *wait->stun;
        (*once)(*wait->ready);
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

quint64 WebRTCManager::registerCompletion(std::function<void()> onAbandon)
{
    const quint64 id = m_nextCompletionId++;
    m_abandonedCompletions.insert(id, std::move(onAbandon));
    return id;
}

bool WebRTCManager::takeCompletion(quint64 id)
{
    return m_abandonedCompletions.remove(id) > 0;
}

void WebRTCManager::abandonCompletions()
{
    // Flows waiting on a closed connection resume exactly once, with a failure.
    const auto pending = std::exchange(m_abandonedCompletions, {});
    for (const auto &fail : pending)
        QMetaObject::invokeMethod(this, fail, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------------
// Pipeline construction

void WebRTCManager::createPeerConnection()
{
    if (m_session)
        close();
    if (!ensureFactoryInitialized()) {
        diag(QStringLiteral("[WebRTC] Factory not initialized"));
        return;
    }
    m_pendingIceCandidates.clear();
    m_inactive = false;
    const int payload = m_config.opusPayload >= 96 && m_config.opusPayload <= 127 ? m_config.opusPayload : 96;
    if (!startSession(payload))
        return;
    emit hasPeerConnectionChanged();
    diag(QStringLiteral("[WebRTC] ✅ Local audio track added (microphone)"));
    diag(QStringLiteral("[WebRTC] ✅ Peer connection created with audio"));
}

bool WebRTCManager::startSession(int opusPayload)
{
    auto session = std::make_shared<Session>();
    session->owner = this;
    session->opusPayload = opusPayload;

    const QString probeName = QStringLiteral("orvane_echo_probe_%1").arg(++g_probeCounter);
    const QString stun = m_preparedStun;
    // The capture chain carries the four source constraints as webrtcdsp settings; the echo
    // probe sits on the playback chain from the start because webrtcdsp looks it up by name
    // when it starts.
    const QString description = QStringLiteral(
        "webrtcbin name=webrtc bundle-policy=max-bundle latency=100 "
        "audioconvert name=capture_in ! audioresample ! audio/x-raw,rate=48000,channels=1 "
        "! webrtcdsp probe=%1 echo-cancel=true gain-control=true noise-suppression=true high-pass-filter=true "
        "! volume name=capture_volume ! level name=capture_level interval=100000000 post-messages=true "
        "! audioconvert ! opusenc bitrate=32000 dtx=false ! rtpopuspay name=payloader pt=%2 "
        "! application/x-rtp,media=audio,encoding-name=OPUS,clock-rate=48000,payload=%2 ! webrtc. "
        "audioconvert name=playback_in ! audioresample ! audio/x-raw,rate=48000,channels=1 "
        "! webrtcechoprobe name=%1 ! volume name=playback_volume ! audioconvert name=playback_out")
        .arg(probeName)
        .arg(opusPayload);

    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (!pipeline || error) {
        diag(QStringLiteral("[WebRTC] Pipeline error: ") + QString::fromUtf8(error ? error->message : "unknown"));
        if (error)
            g_error_free(error);
        if (pipeline)
            gst_object_unref(pipeline);
        return false;
    }
    gst_object_ref_sink(pipeline);
    ++g_alivePipelines;
    g_object_weak_ref(G_OBJECT(pipeline), pipelineFinalized, nullptr);
    session->pipeline = pipeline;

    auto element = [pipeline](const char *name) {
        GstElement *e = gst_bin_get_by_name(GST_BIN(pipeline), name);
        gst_object_unref(e); // the pipeline keeps it alive as long as the session
        return e;
    };
    session->webrtc = element("webrtc");
    session->captureVolume = element("capture_volume");
    session->playbackVolume = element("playback_volume");
    session->playbackIn = element("playback_in");
    session->payloader = element("payloader");

    auto addBin = [&](const QString &fragment, const char *what) -> GstElement * {
        GError *err = nullptr;
        GstElement *bin = gst_parse_bin_from_description(fragment.toUtf8().constData(), TRUE, &err);
        if (!bin || err) {
            diag(QStringLiteral("[WebRTC] Pipeline error: %1 \"%2\": %3")
                     .arg(QLatin1String(what), fragment, QString::fromUtf8(err ? err->message : "unknown")));
            if (err)
                g_error_free(err);
            if (bin)
                gst_object_unref(bin);
            return nullptr;
        }
        m_config.applyDevices(bin);
        gst_bin_add(GST_BIN(pipeline), bin);
        return bin;
    };
    GstElement *source = addBin(m_config.sourceDescription, "source");
    GstElement *sink = source ? addBin(m_config.sinkDescription, "sink") : nullptr;
    if (!source || !sink || !gst_element_link(source, element("capture_in"))
        || !gst_element_link(element("playback_out"), sink)) {
        // A call without its microphone or speaker is no call: leave no connection behind.
        if (source && sink)
            diag(QStringLiteral("[WebRTC] Pipeline error: the audio source or sink cannot be linked"));
        releasePipeline(*session);
        return false;
    }
    {
        // Nothing plays until the peer's audio arrives: the sinks must not hold the pipeline
        // back waiting for a first buffer.
        GstIterator *it = gst_bin_iterate_sinks(GST_BIN(sink));
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
            auto *e = GST_ELEMENT(g_value_get_object(&item));
            if (g_object_class_find_property(G_OBJECT_GET_CLASS(e), "async"))
                g_object_set(e, "async", FALSE, nullptr);
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(it);
    }

    if (!stun.isEmpty())
        g_object_set(session->webrtc, "stun-server", stun.toUtf8().constData(), nullptr);
    if (!m_config.iceAddress.isEmpty()) {
        GstWebRTCICE *ice = nullptr;
        g_object_get(session->webrtc, "ice-agent", &ice, nullptr);
        gboolean added = FALSE;
        if (ice) {
            g_signal_emit_by_name(ice, "add-local-ip-address", m_config.iceAddress.toUtf8().constData(), &added);
            // TCP candidates would add nothing on a pinned address but latency.
            if (g_object_class_find_property(G_OBJECT_GET_CLASS(ice), "ice-tcp"))
                g_object_set(ice, "ice-tcp", FALSE, nullptr);
            gst_object_unref(ice);
        }
        if (!added) {
            // Falling back to every interface would send packets where the pin forbids them.
            diag(QStringLiteral("[WebRTC] Pipeline error: ICE cannot use the address ") + m_config.iceAddress);
            releasePipeline(*session);
            return false;
        }
    }

    // --- callbacks from GStreamer threads: each reads what it needs and posts to the GUI thread.
    auto connectSignal = [&](const char *signal, GCallback callback) {
        g_signal_connect_data(session->webrtc, signal, callback, session->ref(), Session::unref, GConnectFlags(0));
    };

    connectSignal("notify::signaling-state", G_CALLBACK(+[](GstElement *webrtc, GParamSpec *, gpointer data) {
        GstWebRTCSignalingState state;
        g_object_get(webrtc, "signaling-state", &state, nullptr);
        const int mapped = signalingStateFromNick(enumNick(GST_TYPE_WEBRTC_SIGNALING_STATE, state));
        Session::from(data)->post([mapped](WebRTCManager *) {
            diag(QStringLiteral("[WebRTC] Signaling state: ") + signalingStateName(mapped));
        });
    }));
    connectSignal("notify::ice-gathering-state", G_CALLBACK(+[](GstElement *webrtc, GParamSpec *, gpointer data) {
        GstWebRTCICEGatheringState state;
        g_object_get(webrtc, "ice-gathering-state", &state, nullptr);
        const int mapped = iceGatheringStateFromNick(enumNick(GST_TYPE_WEBRTC_ICE_GATHERING_STATE, state));
        Session::from(data)->post([mapped](WebRTCManager *) {
            diag(QStringLiteral("[WebRTC] ICE gathering state: ") + iceGatheringStateName(mapped));
        });
    }));
    connectSignal("notify::ice-connection-state", G_CALLBACK(+[](GstElement *webrtc, GParamSpec *, gpointer data) {
        GstWebRTCICEConnectionState state;
        g_object_get(webrtc, "ice-connection-state", &state, nullptr);
        const int mapped = iceConnectionStateFromNick(enumNick(GST_TYPE_WEBRTC_ICE_CONNECTION_STATE, state));
        Session::from(data)->post([mapped](WebRTCManager *manager) {
            diag(QStringLiteral("[WebRTC] ICE connection state: ") + iceConnectionStateName(mapped));
            manager->m_session->iceState = mapped;
            if (mapped == IceConnected || mapped == IceCompleted)
                diag(QStringLiteral("[WebRTC] ✅ ICE connected - audio channel established!"));
            emit manager->iceConnectionStateChanged(mapped);
        });
    }));
    connectSignal("notify::connection-state", G_CALLBACK(+[](GstElement *webrtc, GParamSpec *, gpointer data) {
        GstWebRTCPeerConnectionState state;
        g_object_get(webrtc, "connection-state", &state, nullptr);
        const int mapped = peerConnectionStateFromNick(enumNick(GST_TYPE_WEBRTC_PEER_CONNECTION_STATE, state));
        Session::from(data)->post([mapped](WebRTCManager *manager) {
            diag(QStringLiteral("[WebRTC] Connection state: ") + peerConnectionStateName(mapped));
            if (mapped == Connected)
                diag(QStringLiteral("[WebRTC] ✅✅✅ CONNECTED - Real audio call active! ✅✅✅"));
            manager->setConnectionState(mapped);
        });
    }));
    connectSignal("on-negotiation-needed", G_CALLBACK(+[](GstElement *, gpointer data) {
        Session::from(data)->post([](WebRTCManager *) { diag(QStringLiteral("[WebRTC] Should negotiate")); });
    }));
    connectSignal("on-ice-candidate", G_CALLBACK(+[](GstElement *, guint mline, gchar *line, gpointer data) {
        Session *session = Session::from(data);
        IceCandidate candidate;
        candidate.candidate = QString::fromUtf8(line);
        candidate.sdpMLineIndex = int(mline);
        {
            std::lock_guard lock(session->mutex);
            if (int(mline) < session->localMids.size() && !session->localMids.at(int(mline)).isEmpty())
                candidate.sdpMid = session->localMids.at(int(mline));
        }
        session->post([candidate](WebRTCManager *manager) {
            diag(QStringLiteral("[WebRTC] Generated ICE candidate: ") + candidate.sdpMid.value_or(QStringLiteral("nil")));
            if (manager->onIceCandidate)
                manager->onIceCandidate(candidate);
        });
    }));
    connectSignal("pad-added", G_CALLBACK(+[](GstElement *, GstPad *pad, gpointer data) {
        if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC)
            return;
        Session *session = Session::from(data);
        if (session->remotePadLinked.exchange(true)) {
            // One remote track is played; further ones are drained so they cannot stall rtpbin.
            GstElement *drop = gst_element_factory_make("fakesink", nullptr);
            g_object_set(drop, "async", FALSE, "sync", FALSE, nullptr);
            gst_bin_add(GST_BIN(session->pipeline), drop);
            gst_element_sync_state_with_parent(drop);
            GstPad *sinkPad = gst_element_get_static_pad(drop, "sink");
            gst_pad_link(pad, sinkPad);
            gst_object_unref(sinkPad);
            return;
        }
        GstElement *depay = gst_element_factory_make("rtpopusdepay", nullptr);
        GstElement *decoder = gst_element_factory_make("opusdec", nullptr);
        g_object_set(decoder, "plc", TRUE, nullptr);
        gst_bin_add_many(GST_BIN(session->pipeline), depay, decoder, nullptr);
        gst_element_link_many(depay, decoder, session->playbackIn, nullptr);
        GstPad *decoded = gst_element_get_static_pad(decoder, "src");
        gst_pad_add_probe(decoded, GST_PAD_PROBE_TYPE_BUFFER, +[](GstPad *, GstPadProbeInfo *, gpointer data) {
            Session *session = Session::from(data);
            if (!session->remoteAudioSeen.exchange(true))
                session->post([](WebRTCManager *manager) { emit manager->remoteAudioStarted(); });
            return GST_PAD_PROBE_OK;
        }, session->ref(), [](gpointer d) { Session::unref(d); });
        gst_object_unref(decoded);
        // RTP as it arrives from the network: what tells a quiet peer from one that is gone.
        GstPad *rtp = gst_element_get_static_pad(depay, "sink");
        gst_pad_add_probe(rtp, GST_PAD_PROBE_TYPE_BUFFER, +[](GstPad *, GstPadProbeInfo *, gpointer data) {
            Session::from(data)->lastRemoteRtpMs.store(monotonicMs());
            return GST_PAD_PROBE_OK;
        }, session->ref(), [](gpointer d) { Session::unref(d); });
        gst_object_unref(rtp);
        gst_element_sync_state_with_parent(decoder);
        gst_element_sync_state_with_parent(depay);
        GstPad *sinkPad = gst_element_get_static_pad(depay, "sink");
        const GstPadLinkReturn linked = gst_pad_link(pad, sinkPad);
        gst_object_unref(sinkPad);
        const int tracks = linked == GST_PAD_LINK_OK ? 1 : 0;
        session->post([tracks](WebRTCManager *manager) {
            diag(QStringLiteral("[WebRTC] ✅ Stream added with %1 audio tracks").arg(tracks));
            if (tracks == 0)
                return;
            manager->m_session->remoteTrack = true;
            gst_bin_recalculate_latency(GST_BIN(manager->m_session->pipeline));
            diag(QStringLiteral("[WebRTC] ✅ Remote audio track enabled - you should hear the other person!"));
            emit manager->remoteAudioTrackAdded();
            if (manager->onRemoteAudioTrack)
                manager->onRemoteAudioTrack();
        });
    }));
    connectSignal("pad-removed", G_CALLBACK(+[](GstElement *, GstPad *pad, gpointer data) {
        if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC)
            return;
        Session::from(data)->post([](WebRTCManager *manager) {
            diag(QStringLiteral("[WebRTC] Stream removed"));
            manager->m_session->remoteTrack = false;
        });
    }));

    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, +[](GstBus *, GstMessage *message, gpointer data) -> GstBusSyncReply {
        Session *session = Session::from(data);
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR: {
            GError *error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            const QString text = QStringLiteral("[WebRTC] Pipeline error: %1: %2")
                                     .arg(QString::fromUtf8(GST_OBJECT_NAME(GST_MESSAGE_SRC(message))),
                                          QString::fromUtf8(error ? error->message : "unknown"));
            if (error)
                g_error_free(error);
            {
                std::lock_guard lock(session->mutex);
                session->lastError = text;
            }
            session->post([text](WebRTCManager *) { diag(text); });
            break;
        }
        case GST_MESSAGE_LATENCY:
            // The receive branch joins a running pipeline; without a new latency its sink plays
            // the jitter buffer's output late, and an audio sink then drops it as silence.
            session->post([](WebRTCManager *manager) {
                gst_bin_recalculate_latency(GST_BIN(manager->m_session->pipeline));
            });
            break;
        case GST_MESSAGE_ELEMENT: {
            const GstStructure *s = gst_message_get_structure(message);
            if (!gst_structure_has_name(s, "level"))
                break;
            const GValue *list = gst_structure_get_value(s, "rms");
            if (!list)
                break;
            GValueArray *array = static_cast<GValueArray *>(g_value_get_boxed(list));
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            if (!array || array->n_values == 0)
                break;
            const double db = g_value_get_double(g_value_array_get_nth(array, 0));
            G_GNUC_END_IGNORE_DEPRECATIONS
            const float level = float(std::min(1.0, 5.0 * std::pow(10.0, db / 20.0)));
            session->post([level](WebRTCManager *manager) {
                if (manager->m_inputLevel != level) {
                    manager->m_inputLevel = level;
                    emit manager->inputLevelChanged();
                }
            });
            break;
        }
        default:
            break;
        }
        // A dropping sync handler owns the message.
        gst_message_unref(message);
        return GST_BUS_DROP;
    }, session->ref(), [](gpointer d) { Session::unref(d); });
    gst_object_unref(bus);

    m_session = session;
    applyControls();

    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        // No microphone or speaker: no connection, so the caller's flow fails at once instead of
        // placing a call nobody can hear.
        QString reason;
        {
            std::lock_guard lock(session->mutex);
            reason = session->lastError;
        }
        diag(reason.isEmpty() ? QStringLiteral("[WebRTC] Pipeline error: the call pipeline did not start") : reason);
        m_session.reset();
        releasePipeline(*session);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Offer, answer, remote description, candidates

void WebRTCManager::createOffer(std::function<void(std::optional<SessionDescription>)> completion)
{
    createDescription(true, std::move(completion));
}

void WebRTCManager::createAnswer(std::function<void(std::optional<SessionDescription>)> completion)
{
    createDescription(false, std::move(completion));
}

namespace {

using DescriptionCompletion = std::function<void(std::optional<WebRTCManager::SessionDescription>)>;

} // namespace

void WebRTCManager::createDescription(bool offer, DescriptionCompletion completion)
{
    auto once = std::make_shared<DescriptionCompletion>(std::move(completion));
    if (!m_session) {
        QMetaObject::invokeMethod(this, [once] { (*once)(std::nullopt); }, Qt::QueuedConnection);
        return;
    }
    m_session->localDescriptionRequested = true;
    auto *request = new DescriptionRequest;
    request->session = m_session;
    request->offer = offer;
    request->id = registerCompletion([once] { (*once)(std::nullopt); });
    request->completion = [once](std::optional<SessionDescription> d) { (*once)(std::move(d)); };
    GstPromise *promise = gst_promise_new_with_change_func(&Session::onDescriptionCreated, request, nullptr);
    g_signal_emit_by_name(m_session->webrtc, offer ? "create-offer" : "create-answer", nullptr, promise);
}

void WebRTCManager::Session::onDescriptionCreated(GstPromise *promise, gpointer data)
{
    std::unique_ptr<DescriptionRequest> request(static_cast<DescriptionRequest *>(data));
    const QString error = promiseError(promise);
    GstWebRTCSessionDescription *description = nullptr;
    if (error.isEmpty()) {
        if (const GstStructure *reply = gst_promise_get_reply(promise))
            gst_structure_get(reply, request->offer ? "offer" : "answer", GST_TYPE_WEBRTC_SESSION_DESCRIPTION,
                              &description, nullptr);
    }
    gst_promise_unref(promise);

    if (!description) {
        request->session->post([id = request->id, offer = request->offer, error,
                                completion = request->completion](WebRTCManager *manager) {
            if (!manager->takeCompletion(id))
                return;
            if (!error.isEmpty())
                diag((offer ? QStringLiteral("[WebRTC] Create offer error: ")
                            : QStringLiteral("[WebRTC] Create answer error: ")) + error);
            completion(std::nullopt);
        });
        return;
    }

    gchar *text = gst_sdp_message_as_text(description->sdp);
    request->sdp = QString::fromUtf8(text);
    g_free(text);
    {
        // Candidates are gathered only once the local description is set, so their m-line's
        // media id is known by then.
        std::lock_guard lock(request->session->mutex);
        request->session->localMids = mediaIds(request->sdp);
    }
    GstElement *webrtc = request->session->webrtc;
    GstPromise *next = gst_promise_new_with_change_func(&Session::onLocalDescriptionSet, request.release(), nullptr);
    g_signal_emit_by_name(webrtc, "set-local-description", description, next);
    gst_webrtc_session_description_free(description);
}

void WebRTCManager::Session::onLocalDescriptionSet(GstPromise *promise, gpointer data)
{
    std::unique_ptr<DescriptionRequest> request(static_cast<DescriptionRequest *>(data));
    const QString error = promiseError(promise);
    gst_promise_unref(promise);
    request->session->post([id = request->id, offer = request->offer, error, sdp = request->sdp,
                            completion = request->completion](WebRTCManager *manager) {
        if (!manager->takeCompletion(id))
            return;
        if (!error.isEmpty()) {
            diag(QStringLiteral("[WebRTC] Set local description error: ") + error);
            completion(std::nullopt);
            return;
        }
        diag(offer ? QStringLiteral("[WebRTC] Offer created and set as local description")
                   : QStringLiteral("[WebRTC] Answer created and set as local description"));
        completion(SessionDescription{offer ? Offer : Answer, sdp});
    });
}

void WebRTCManager::setRemoteDescription(const SessionDescription &description, std::function<void(bool)> completion)
{
    auto once = std::make_shared<std::function<void(bool)>>(std::move(completion));
    if (!m_session) {
        QMetaObject::invokeMethod(this, [once] { (*once)(false); }, Qt::QueuedConnection);
        return;
    }
    GstSDPMessage *sdp = nullptr;
    gst_sdp_message_new(&sdp);
    const QByteArray text = description.sdp.toUtf8();
    if (description.sdp.trimmed().isEmpty()
        || gst_sdp_message_parse_buffer(reinterpret_cast<const guint8 *>(text.constData()), guint(text.size()), sdp)
            != GST_SDP_OK
        || gst_sdp_message_medias_len(sdp) == 0) {
        gst_sdp_message_free(sdp);
        diag(QStringLiteral("[WebRTC] Set remote description error: the session description cannot be read"));
        QMetaObject::invokeMethod(this, [once] { (*once)(false); }, Qt::QueuedConnection);
        return;
    }
    const int mediaCount = int(gst_sdp_message_medias_len(sdp));
    const int opus = description.type == Offer ? opusPayload(sdp) : -1;
    GstWebRTCSDPType type = GST_WEBRTC_SDP_TYPE_OFFER;
    if (description.type == PrAnswer)
        type = GST_WEBRTC_SDP_TYPE_PRANSWER;
    else if (description.type == Answer)
        type = GST_WEBRTC_SDP_TYPE_ANSWER;
    std::shared_ptr<GstWebRTCSessionDescription> remote(gst_webrtc_session_description_new(type, sdp),
                                                        gst_webrtc_session_description_free);

    if (opus > 0 && opus != m_session->opusPayload && !m_session->localDescriptionRequested) {
        // webrtcbin pairs the offer's audio section with our sending track only when both use
        // the same Opus payload number; otherwise it answers receive-only and nobody hears
        // anybody. Nothing has been negotiated yet, so start over with the offer's number
        // (remote candidates already buffered are kept).
        std::shared_ptr<Session> old = std::exchange(m_session, nullptr);
        releasePipeline(*old);
        if (!startSession(opus)) {
            emit hasPeerConnectionChanged();
            diag(QStringLiteral("[WebRTC] Set remote description error: the call pipeline did not restart"));
            QMetaObject::invokeMethod(this, [once] { (*once)(false); }, Qt::QueuedConnection);
            return;
        }
    }

    auto *request = new DescriptionRequest;
    request->session = m_session;
    request->id = registerCompletion([once] { (*once)(false); });
    request->remoteCompletion = [once](bool ok) { (*once)(ok); };
    request->mediaCount = mediaCount;
    GstPromise *promise = gst_promise_new_with_change_func(&Session::onRemoteDescriptionSet, request, nullptr);
    g_signal_emit_by_name(m_session->webrtc, "set-remote-description", remote.get(), promise);
}

void WebRTCManager::Session::onRemoteDescriptionSet(GstPromise *promise, gpointer data)
{
    std::unique_ptr<DescriptionRequest> request(static_cast<DescriptionRequest *>(data));
    const QString error = promiseError(promise);
    gst_promise_unref(promise);
    request->session->post([id = request->id, error, mediaCount = request->mediaCount,
                            completion = request->remoteCompletion](WebRTCManager *manager) {
        if (!manager->takeCompletion(id))
            return;
        if (!error.isEmpty()) {
            diag(QStringLiteral("[WebRTC] Set remote description error: ") + error);
            completion(false);
            return;
        }
        diag(QStringLiteral("[WebRTC] Remote description set successfully"));
        manager->m_session->remoteDescriptionSet = true;
        manager->m_session->remoteMediaCount = mediaCount;
        // Drained here, on the GUI thread, where candidates are also appended: none can be
        // lost or added twice.
        manager->addPendingIceCandidates();
        completion(true);
    });
}

namespace {

// Why a remote candidate cannot be used, or empty when it can.
QString candidateProblem(const WebRTCManager::IceCandidate &candidate, int mediaCount, const QString &pinned)
{
    const QString address = candidateAddress(candidate.candidate);
    if (address.isEmpty())
        return QStringLiteral("malformed candidate");
    if (candidate.sdpMLineIndex < 0 || candidate.sdpMLineIndex >= mediaCount)
        return QStringLiteral("no media section %1").arg(candidate.sdpMLineIndex);
    if (!pinned.isEmpty()) {
        // With ICE pinned to loopback, checks toward other addresses would leave the machine.
        const QHostAddress pinnedAddress(pinned);
        const QHostAddress remote(address);
        if (pinnedAddress.isLoopback() && !remote.isLoopback())
            return QStringLiteral("address outside the pinned ICE address");
    }
    return {};
}

} // namespace

void WebRTCManager::addIceCandidate(const IceCandidate &candidate)
{
    if (!m_session)
        return;
    if (!m_session->remoteDescriptionSet) {
        m_pendingIceCandidates.append(candidate);
        diag(QStringLiteral("[WebRTC] ICE candidate buffered (remote description not set)"));
        return;
    }
    const QString problem = candidateProblem(candidate, m_session->remoteMediaCount, m_config.iceAddress);
    if (!problem.isEmpty()) {
        diag(QStringLiteral("[WebRTC] Add ICE candidate error: ") + problem);
        return;
    }
    g_signal_emit_by_name(m_session->webrtc, "add-ice-candidate", guint(candidate.sdpMLineIndex),
                          candidate.candidate.toUtf8().constData());
    diag(QStringLiteral("[WebRTC] ICE candidate added"));
}

void WebRTCManager::addPendingIceCandidates()
{
    if (!m_session)
        return;
    const QList<IceCandidate> pending = std::exchange(m_pendingIceCandidates, {});
    for (const IceCandidate &candidate : pending) {
        const QString problem = candidateProblem(candidate, m_session->remoteMediaCount, m_config.iceAddress);
        if (!problem.isEmpty()) {
            diag(QStringLiteral("[WebRTC] Add pending ICE candidate error: ") + problem);
            continue;
        }
        g_signal_emit_by_name(m_session->webrtc, "add-ice-candidate", guint(candidate.sdpMLineIndex),
                              candidate.candidate.toUtf8().constData());
    }
    diag(QStringLiteral("[WebRTC] Added %1 pending ICE candidates").arg(pending.size()));
}

bool WebRTCManager::hasRemoteDescription() const
{
    return m_session && m_session->remoteDescriptionSet;
}

bool WebRTCManager::hasRemoteAudioTrack() const
{
    return m_session && m_session->remoteTrack;
}

int WebRTCManager::pendingIceCandidateCount() const
{
    return int(m_pendingIceCandidates.size());
}

GstElement *WebRTCManager::pipeline() const
{
    return m_session ? m_session->pipeline : nullptr;
}

int WebRTCManager::alivePipelineCount()
{
    return g_alivePipelines.load();
}

// ---------------------------------------------------------------------------------------------
// Closing

void WebRTCManager::releasePipeline(Session &session)
{
    {
        // From here on nothing GStreamer's threads post reaches this object.
        std::lock_guard lock(session.mutex);
        session.owner = nullptr;
    }
    gst_element_set_state(session.pipeline, GST_STATE_NULL);
    GstBus *bus = gst_element_get_bus(session.pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(session.pipeline);
    session.pipeline = nullptr;
    session.webrtc = session.captureVolume = session.playbackVolume = session.playbackIn = session.payloader = nullptr;
}

void WebRTCManager::close()
{
    diag(QStringLiteral("[WebRTC] Closing connection..."));
    if (std::shared_ptr<Session> session = std::exchange(m_session, nullptr)) {
        releasePipeline(*session);
        emit hasPeerConnectionChanged();
    }
    m_pendingIceCandidates.clear();
    m_inactivityTimer.stop();
    m_inactive = false;
    abandonCompletions();
    if (m_connectionState != New) {
        m_connectionState = New;
        emit connectionStateChanged();
    }
    if (!m_isAudioEnabled) {
        m_isAudioEnabled = true;
        emit isAudioEnabledChanged();
    }
    if (m_inputLevel != 0) {
        m_inputLevel = 0;
        emit inputLevelChanged();
    }
    // The next call starts with the microphone and the speaker on, as its window shows them.
    setMuted(false);
    setSpeakerEnabled(true);
    diag(QStringLiteral("[WebRTC] Connection closed"));
}

// ---------------------------------------------------------------------------------------------
// State, controls, inactivity

void WebRTCManager::setConnectionState(int state)
{
    if (state == Connected && m_session && m_session->connectedSinceMs == 0) {
        m_session->connectedSinceMs = monotonicMs();
        m_inactive = false;
        if (m_inactivityTimeoutMs > 0)
            m_inactivityTimer.start();
    }
    if (m_connectionState != state) {
        m_connectionState = state;
        emit connectionStateChanged();
    }
    if (onConnectionStateChanged)
        onConnectionStateChanged(state);
}

void WebRTCManager::checkInactivity()
{
    if (!m_session || m_session->connectedSinceMs == 0 || m_inactivityTimeoutMs <= 0)
        return;
    const qint64 last = std::max(m_session->lastRemoteRtpMs.load(), m_session->connectedSinceMs);
    const bool silent = monotonicMs() - last >= m_inactivityTimeoutMs;
    if (silent && !m_inactive) {
        m_inactive = true;
        diag(QStringLiteral("[WebRTC] No audio packets from the other side for %1 s").arg(m_inactivityTimeoutMs / 1000.0));
        emit remoteAudioInactive();
    } else if (!silent && m_inactive) {
        m_inactive = false;
        diag(QStringLiteral("[WebRTC] Audio from the other side resumed"));
        emit remoteAudioResumed();
    }
}

void WebRTCManager::setInactivityTimeoutMs(int ms)
{
    m_inactivityTimeoutMs = ms;
    if (ms <= 0)
        m_inactivityTimer.stop();
    else if (m_session && m_session->connectedSinceMs != 0)
        m_inactivityTimer.start();
}

double WebRTCManager::captureGainForSensitivity(double sensitivity)
{
    return 2.0 * std::clamp(sensitivity, 0.0, 1.0);
}

void WebRTCManager::applyControls()
{
    if (!m_session)
        return;
    g_object_set(m_session->captureVolume, "mute", gboolean(m_muted), "volume",
                 captureGainForSensitivity(m_inputSensitivity), nullptr);
    g_object_set(m_session->playbackVolume, "mute", gboolean(!m_speakerEnabled), "volume",
                 std::clamp(m_outputVolume, 0.0, 1.0), nullptr);
}

void WebRTCManager::followAudioSettings(AudioSettingsManager *settings)
{
    if (!settings)
        return;
    auto apply = [this, settings] {
        setOutputVolume(settings->outputVolume());
        setInputSensitivity(settings->inputSensitivity());
    };
    apply();
    connect(settings, &AudioSettingsManager::outputVolumeChanged, this, apply);
    connect(settings, &AudioSettingsManager::inputSensitivityChanged, this, apply);
    // The chosen devices: the next call opens them, a running one moves to them.
    auto devices = [this, settings] {
        m_config.sourceDevice = settings->microphoneDevice();
        m_config.sinkDevice = settings->speakerDevice();
        m_config.applyDevices(pipeline());
    };
    m_config.sourceDevice = settings->microphoneDevice();
    m_config.sinkDevice = settings->speakerDevice();
    connect(settings, &AudioSettingsManager::microphoneDeviceChanged, this, devices);
    connect(settings, &AudioSettingsManager::speakerDeviceChanged, this, devices);
}

void WebRTCManager::setMuted(bool muted)
{
    if (m_muted == muted)
        return;
    m_muted = muted;
    applyControls();
    emit isMutedChanged();
}

void WebRTCManager::setSpeakerEnabled(bool enabled)
{
    if (m_speakerEnabled == enabled)
        return;
    m_speakerEnabled = enabled;
    applyControls();
    emit isSpeakerEnabledChanged();
}

void WebRTCManager::setOutputVolume(double volume)
{
    volume = std::isfinite(volume) ? std::clamp(volume, 0.0, 1.0) : m_outputVolume;
    if (m_outputVolume == volume)
        return;
    m_outputVolume = volume;
    applyControls();
    emit outputVolumeChanged();
}

void WebRTCManager::setInputSensitivity(double sensitivity)
{
    sensitivity = std::isfinite(sensitivity) ? std::clamp(sensitivity, 0.0, 1.0) : m_inputSensitivity;
    if (m_inputSensitivity == sensitivity)
        return;
    m_inputSensitivity = sensitivity;
    applyControls();
    emit inputSensitivityChanged();
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

} // namespace

QString WebRTCManager::peerConnectionStateName(int state)
{
    return nameAt({"new", "connecting", "connected", "disconnected", "failed", "closed"}, state);
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
    return nameAt({"new", "gathering", "complete"}, state);
}

int WebRTCManager::peerConnectionStateFromNick(const QString &nick)
{
    return indexOf({"new", "connecting", "connected", "disconnected", "failed", "closed"}, nick);
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
    return indexOf({"new", "gathering", "complete"}, nick);
}
