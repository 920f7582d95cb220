#define GST_USE_UNSTABLE_API
#include "CallPipeline.h"

#include "CallAudioControls.h"
#include "Diagnostics.h"
#include "WebRTCManager.h"

#include <gst/webrtc/webrtc.h>

namespace {

std::atomic<int> g_alivePipelines{0};
std::atomic<quint64> g_probeCounter{0};

void pipelineFinalized(gpointer, GObject *)
{
    --g_alivePipelines;
}

void unrefData(gpointer data)
{
    CallPipeline::unref(data);
}

// The whole pipeline (`what` null) or a bin from a gst-launch fragment, or null with a line
// saying what was wrong with it.
GstElement *parse(const QString &description, const char *what = nullptr)
{
    GError *error = nullptr;
    const QByteArray text = description.toUtf8();
    GstElement *element = what ? gst_parse_bin_from_description(text.constData(), TRUE, &error)
                               : gst_parse_launch(text.constData(), &error);
    if (element && !error)
        return element;
    const QString reason = QString::fromUtf8(error ? error->message : "unknown");
    diag(what ? QStringLiteral("[WebRTC] Pipeline error: %1 \"%2\": %3").arg(QLatin1String(what), description, reason)
              : QStringLiteral("[WebRTC] Pipeline error: ") + reason);
    if (error)
        g_error_free(error);
    if (element)
        gst_object_unref(element);
    return nullptr;
}

} // namespace

GstElement *CallPipeline::element(const char *name) const
{
    GstElement *e = gst_bin_get_by_name(GST_BIN(pipeline), name);
    gst_object_unref(e); // the pipeline keeps it alive as long as this
    return e;
}

int CallPipeline::aliveCount()
{
    return g_alivePipelines.load();
}

std::shared_ptr<CallPipeline> CallPipeline::build(WebRTCManager *owner, const MediaConfig &config, int opusPayload,
                                                  const QString &stunServer)
{
    const QString probeName = QStringLiteral("orvane_echo_probe_%1").arg(++g_probeCounter);
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

    GstElement *pipeline = parse(description);
    if (!pipeline)
        return nullptr;
    gst_object_ref_sink(pipeline);
    ++g_alivePipelines;
    g_object_weak_ref(G_OBJECT(pipeline), pipelineFinalized, nullptr);

    auto self = std::make_shared<CallPipeline>();
    self->owner = owner;
    self->opusPayload = opusPayload;
    self->pipeline = pipeline;
    self->webrtc = self->element("webrtc");
    self->captureVolume = self->element("capture_volume");
    self->playbackVolume = self->element("playback_volume");
    self->playbackIn = self->element("playback_in");

    if (!self->addDevices(config))
        return nullptr;
    if (!stunServer.isEmpty())
        g_object_set(self->webrtc, "stun-server", stunServer.toUtf8().constData(), nullptr);
    if (!config.iceAddress.isEmpty() && !self->pinIceAddress(config.iceAddress))
        return nullptr;
    self->watchRemoteStream();
    self->watchBus();
    return self;
}

bool CallPipeline::addDevices(const MediaConfig &config)
{
    auto add = [&](const QString &fragment, const char *what) {
        GstElement *bin = parse(fragment, what);
        if (bin) {
            owner->applyDevices(bin);
            gst_bin_add(GST_BIN(pipeline), bin);
        }
        return bin;
    };
    GstElement *source = add(config.sourceDescription, "source");
    GstElement *sink = source ? add(config.sinkDescription, "sink") : nullptr;
    if (!source || !sink || !gst_element_link(source, element("capture_in"))
        || !gst_element_link(element("playback_out"), sink)) {
        // A call without its microphone or speaker is no call: leave no connection behind.
        if (source && sink)
            diag(QStringLiteral("[WebRTC] Pipeline error: the audio source or sink cannot be linked"));
        release();
        return false;
    }
    // Nothing plays until the peer's audio arrives: the sinks must not hold the pipeline back
    // waiting for a first buffer.
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
    return true;
}

bool CallPipeline::pinIceAddress(const QString &address)
{
    GstWebRTCICE *ice = nullptr;
    g_object_get(webrtc, "ice-agent", &ice, nullptr);
    gboolean added = FALSE;
    if (ice) {
        g_signal_emit_by_name(ice, "add-local-ip-address", address.toUtf8().constData(), &added);
        // TCP candidates would add nothing on a pinned address but latency.
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(ice), "ice-tcp"))
            g_object_set(ice, "ice-tcp", FALSE, nullptr);
        gst_object_unref(ice);
    }
    if (!added) {
        // Falling back to every interface would send packets where the pin forbids them.
        diag(QStringLiteral("[WebRTC] Pipeline error: ICE cannot use the address ") + address);
        release();
    }
    return added;
}

// The peer's stream appears as a webrtcbin source pad once negotiated.
void CallPipeline::watchRemoteStream()
{
    connect("pad-added", G_CALLBACK(+[](GstElement *, GstPad *pad, gpointer data) {
        if (GST_PAD_DIRECTION(pad) == GST_PAD_SRC)
            from(data)->playRemoteStream(pad);
    }));
    connect("pad-removed", G_CALLBACK(+[](GstElement *, GstPad *pad, gpointer data) {
        if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC)
            return;
        from(data)->post([](WebRTCManager *manager) {
            diag(QStringLiteral("[WebRTC] Stream removed"));
            manager->m_pipeline->remoteTrack = false;
        });
    }));
}

// Decodes the peer's stream into the playback chain. Runs on a streaming thread.
void CallPipeline::playRemoteStream(GstPad *pad)
{
    if (remotePadLinked.exchange(true)) {
        // One remote track is played; further ones are drained so they cannot stall rtpbin.
        GstElement *drop = gst_element_factory_make("fakesink", nullptr);
        g_object_set(drop, "async", FALSE, "sync", FALSE, nullptr);
        gst_bin_add(GST_BIN(pipeline), drop);
        gst_element_sync_state_with_parent(drop);
        GstPad *sinkPad = gst_element_get_static_pad(drop, "sink");
        gst_pad_link(pad, sinkPad);
        gst_object_unref(sinkPad);
        return;
    }
    GstElement *depay = gst_element_factory_make("rtpopusdepay", nullptr);
    GstElement *decoder = gst_element_factory_make("opusdec", nullptr);
    g_object_set(decoder, "plc", TRUE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), depay, decoder, nullptr);
    gst_element_link_many(depay, decoder, playbackIn, nullptr);
    GstPad *decoded = gst_element_get_static_pad(decoder, "src");
    gst_pad_add_probe(decoded, GST_PAD_PROBE_TYPE_BUFFER, +[](GstPad *, GstPadProbeInfo *, gpointer data) {
        CallPipeline *self = from(data);
        if (!self->remoteAudioSeen.exchange(true))
            self->post([](WebRTCManager *manager) { emit manager->remoteAudioStarted(); });
        return GST_PAD_PROBE_OK;
    }, ref(), unrefData);
    gst_object_unref(decoded);
    // RTP as it arrives from the network: what tells a quiet peer from one that is gone.
    GstPad *rtp = gst_element_get_static_pad(depay, "sink");
    gst_pad_add_probe(rtp, GST_PAD_PROBE_TYPE_BUFFER, +[](GstPad *, GstPadProbeInfo *, gpointer data) {
        from(data)->lastRemoteRtpMs.store(monotonicMs());
        return GST_PAD_PROBE_OK;
    }, ref(), unrefData);
    gst_element_sync_state_with_parent(decoder);
    gst_element_sync_state_with_parent(depay);
    const GstPadLinkReturn linked = gst_pad_link(pad, rtp);
    gst_object_unref(rtp);
    const int tracks = linked == GST_PAD_LINK_OK ? 1 : 0;
    post([tracks](WebRTCManager *manager) {
        diag(QStringLiteral("[WebRTC] ✅ Stream added with %1 audio tracks").arg(tracks));
        if (tracks == 0)
            return;
        manager->m_pipeline->remoteTrack = true;
        gst_bin_recalculate_latency(GST_BIN(manager->m_pipeline->pipeline));
        diag(QStringLiteral("[WebRTC] ✅ Remote audio track enabled - you should hear the other person!"));
        emit manager->remoteAudioTrackAdded();
        if (manager->onRemoteAudioTrack)
            manager->onRemoteAudioTrack();
    });
}

// Errors, latency changes and the sent-audio level, read on the thread that posts them.
void CallPipeline::watchBus()
{
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, +[](GstBus *, GstMessage *message, gpointer data) -> GstBusSyncReply {
        CallPipeline *self = from(data);
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
                std::lock_guard lock(self->mutex);
                self->lastError = text;
            }
            self->post([text](WebRTCManager *) { diag(text); });
            break;
        }
        case GST_MESSAGE_LATENCY:
            // The receive branch joins a running pipeline; without a new latency its sink plays
            // the jitter buffer's output late, and an audio sink then drops it as silence.
            self->post([](WebRTCManager *manager) {
                gst_bin_recalculate_latency(GST_BIN(manager->m_pipeline->pipeline));
            });
            break;
        case GST_MESSAGE_ELEMENT:
            if (const auto level = CallAudioControls::levelOf(message))
                self->post([level = *level](WebRTCManager *manager) { manager->m_audio.setInputLevel(level); });
            break;
        default:
            break;
        }
        // A dropping sync handler owns the message.
        gst_message_unref(message);
        return GST_BUS_DROP;
    }, ref(), unrefData);
    gst_object_unref(bus);
}

bool CallPipeline::play()
{
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE)
        return true;
    // No microphone or speaker: no connection, so the caller's flow fails at once instead of
    // placing a call nobody can hear.
    QString reason;
    {
        std::lock_guard lock(mutex);
        reason = lastError;
    }
    diag(reason.isEmpty() ? QStringLiteral("[WebRTC] Pipeline error: the call pipeline did not start") : reason);
    release();
    return false;
}

void CallPipeline::post(std::function<void(WebRTCManager *)> work)
{
    std::lock_guard lock(mutex);
    if (!owner)
        return;
    QMetaObject::invokeMethod(
        owner,
        [self = shared_from_this(), work = std::move(work)] {
            WebRTCManager *manager = self->owner;
            if (manager && manager->m_pipeline == self)
                work(manager);
        },
        Qt::QueuedConnection);
}

void CallPipeline::release()
{
    {
        // From here on nothing GStreamer's threads post reaches the owner.
        std::lock_guard lock(mutex);
        owner = nullptr;
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    pipeline = webrtc = captureVolume = playbackVolume = playbackIn = nullptr;
}
