#define GST_USE_UNSTABLE_API
#include "CallNegotiation.h"

#include "CallPipeline.h"
#include "Diagnostics.h"

#include <QHostAddress>

#include <gst/sdp/sdp.h>
#include <gst/webrtc/webrtc.h>

namespace {

using Manager = WebRTCManager;

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

// Why a remote candidate cannot be used, or empty when it can.
QString candidateProblem(const Manager::IceCandidate &candidate, int mediaCount, const QString &pinned)
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

// One offer, answer or remote description in flight between the GUI thread and GStreamer's.
struct DescriptionRequest
{
    std::shared_ptr<CallPipeline> pipeline;
    CallNegotiation *negotiation = nullptr;
    quint64 id = 0;
    bool offer = true;
    QString sdp;
    int mediaCount = 0;
    CallNegotiation::DescriptionCompletion completion;
    std::function<void(bool)> remoteCompletion;
};

// A webrtcbin state property, read on the streaming thread that changed it and reported on the
// GUI thread in our numbering (GStreamer's differs: matched by name).
struct StateWatch
{
    GType type;
    int (*fromNick)(const QString &);
    void (*report)(Manager *, int);
    std::shared_ptr<CallPipeline> pipeline;
};

void watchState(CallPipeline &pipeline, const char *property, GType type, int (*fromNick)(const QString &),
                void (*report)(Manager *, int))
{
    auto *watch = new StateWatch{type, fromNick, report, pipeline.shared_from_this()};
    const QByteArray signal = QByteArrayLiteral("notify::") + property;
    auto changed = +[](GstElement *webrtc, GParamSpec *changedProperty, gpointer data) {
        const auto *watch = static_cast<StateWatch *>(data);
        int state = 0;
        g_object_get(webrtc, changedProperty->name, &state, nullptr);
        const int mapped = watch->fromNick(enumNick(watch->type, state));
        watch->pipeline->post([mapped, report = watch->report](Manager *manager) { report(manager, mapped); });
    };
    auto release = +[](gpointer data, GClosure *) { delete static_cast<StateWatch *>(data); };
    g_signal_connect_data(pipeline.webrtc, signal.constData(), G_CALLBACK(changed), watch, release, {});
}

} // namespace

CallNegotiation::CallNegotiation(WebRTCManager &owner)
    : m_owner(owner)
{
}

void CallNegotiation::watch(CallPipeline &pipeline)
{
    watchState(pipeline, "signaling-state", GST_TYPE_WEBRTC_SIGNALING_STATE,
               &Manager::signalingStateFromNick, [](Manager *, int state) {
                   diag(QStringLiteral("[WebRTC] Signaling state: ") + Manager::signalingStateName(state));
               });
    watchState(pipeline, "ice-gathering-state", GST_TYPE_WEBRTC_ICE_GATHERING_STATE,
               &Manager::iceGatheringStateFromNick, [](Manager *, int state) {
                   diag(QStringLiteral("[WebRTC] ICE gathering state: ") + Manager::iceGatheringStateName(state));
               });
    watchState(pipeline, "ice-connection-state", GST_TYPE_WEBRTC_ICE_CONNECTION_STATE,
               &Manager::iceConnectionStateFromNick, [](Manager *manager, int state) {
                   diag(QStringLiteral("[WebRTC] ICE connection state: ") + Manager::iceConnectionStateName(state));
                   if (state == Manager::IceConnected || state == Manager::IceCompleted)
                       diag(QStringLiteral("[WebRTC] ✅ ICE connected - audio channel established!"));
                   emit manager->iceConnectionStateChanged(state);
               });
    watchState(pipeline, "connection-state", GST_TYPE_WEBRTC_PEER_CONNECTION_STATE,
               &Manager::peerConnectionStateFromNick, [](Manager *manager, int state) {
                   diag(QStringLiteral("[WebRTC] Connection state: ") + Manager::peerConnectionStateName(state));
                   if (state == Manager::Connected)
                       diag(QStringLiteral("[WebRTC] ✅✅✅ CONNECTED - Real audio call active! ✅✅✅"));
                   manager->setConnectionState(state);
               });

    pipeline.connect("on-negotiation-needed", G_CALLBACK(+[](GstElement *, gpointer data) {
        CallPipeline::from(data)->post([](Manager *) { diag(QStringLiteral("[WebRTC] Should negotiate")); });
    }));
    pipeline.connect("on-ice-candidate", G_CALLBACK(+[](GstElement *, guint mline, gchar *line, gpointer data) {
        CallPipeline *pipeline = CallPipeline::from(data);
        Manager::IceCandidate candidate;
        candidate.candidate = QString::fromUtf8(line);
        candidate.sdpMLineIndex = int(mline);
        {
            std::lock_guard lock(pipeline->mutex);
            if (int(mline) < pipeline->localMids.size() && !pipeline->localMids.at(int(mline)).isEmpty())
                candidate.sdpMid = pipeline->localMids.at(int(mline));
        }
        pipeline->post([candidate](Manager *manager) {
            const QString mid = candidate.sdpMid.value_or(QStringLiteral("nil"));
            diag(QStringLiteral("[WebRTC] Generated ICE candidate: ") + mid);
            if (manager->onIceCandidate)
                manager->onIceCandidate(candidate);
        });
    }));
}

// ---------------------------------------------------------------------------------------------
// Numbered requests

quint64 CallNegotiation::registerCompletion(std::function<void()> onAbandon)
{
    const quint64 id = m_nextCompletionId++;
    m_abandonedCompletions.insert(id, std::move(onAbandon));
    return id;
}

bool CallNegotiation::takeCompletion(quint64 id)
{
    return m_abandonedCompletions.remove(id) > 0;
}

void CallNegotiation::abandonCompletions()
{
    // Flows waiting on a closed connection resume exactly once, with a failure.
    const auto pending = std::exchange(m_abandonedCompletions, {});
    for (const auto &fail : pending)
        QMetaObject::invokeMethod(&m_owner, fail, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------------
// Local description: create the offer or answer, then set it

void CallNegotiation::createDescription(bool offer, DescriptionCompletion completion)
{
    const std::shared_ptr<CallPipeline> &pipeline = m_owner.m_pipeline;
    if (!pipeline) {
        QMetaObject::invokeMethod(&m_owner, [completion] { completion(std::nullopt); }, Qt::QueuedConnection);
        return;
    }
    pipeline->localDescriptionRequested = true;
    auto *request = new DescriptionRequest;
    request->pipeline = pipeline;
    request->negotiation = this;
    request->offer = offer;
    request->id = registerCompletion([completion] { completion(std::nullopt); });
    request->completion = std::move(completion);
    GstPromise *promise = gst_promise_new_with_change_func(&descriptionCreated, request, nullptr);
    g_signal_emit_by_name(pipeline->webrtc, offer ? "create-offer" : "create-answer", nullptr, promise);
}

void CallNegotiation::descriptionCreated(GstPromise *promise, void *data)
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
        request->pipeline->post([id = request->id, offer = request->offer, error, negotiation = request->negotiation,
                                 completion = request->completion](Manager *) {
            if (!negotiation->takeCompletion(id))
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
        std::lock_guard lock(request->pipeline->mutex);
        request->pipeline->localMids = mediaIds(request->sdp);
    }
    GstElement *webrtc = request->pipeline->webrtc;
    GstPromise *next = gst_promise_new_with_change_func(&localDescriptionSet, request.release(), nullptr);
    g_signal_emit_by_name(webrtc, "set-local-description", description, next);
    gst_webrtc_session_description_free(description);
}

void CallNegotiation::localDescriptionSet(GstPromise *promise, void *data)
{
    std::unique_ptr<DescriptionRequest> request(static_cast<DescriptionRequest *>(data));
    const QString error = promiseError(promise);
    gst_promise_unref(promise);
    request->pipeline->post([id = request->id, offer = request->offer, error, sdp = request->sdp,
                             negotiation = request->negotiation, completion = request->completion](Manager *) {
        if (!negotiation->takeCompletion(id))
            return;
        if (!error.isEmpty()) {
            diag(QStringLiteral("[WebRTC] Set local description error: ") + error);
            completion(std::nullopt);
            return;
        }
        diag(offer ? QStringLiteral("[WebRTC] Offer created and set as local description")
                   : QStringLiteral("[WebRTC] Answer created and set as local description"));
        completion(Description{offer ? Manager::Offer : Manager::Answer, sdp});
    });
}

// ---------------------------------------------------------------------------------------------
// Remote description

void CallNegotiation::setRemoteDescription(const Description &description, std::function<void(bool)> completion)
{
    auto fail = [&] { QMetaObject::invokeMethod(&m_owner, [completion] { completion(false); }, Qt::QueuedConnection); };
    std::shared_ptr<CallPipeline> &pipeline = m_owner.m_pipeline;
    if (!pipeline)
        return fail();
    GstSDPMessage *sdp = nullptr;
    gst_sdp_message_new(&sdp);
    const QByteArray text = description.sdp.toUtf8();
    if (description.sdp.trimmed().isEmpty()
        || gst_sdp_message_parse_buffer(reinterpret_cast<const guint8 *>(text.constData()), guint(text.size()), sdp)
            != GST_SDP_OK
        || gst_sdp_message_medias_len(sdp) == 0) {
        gst_sdp_message_free(sdp);
        diag(QStringLiteral("[WebRTC] Set remote description error: the session description cannot be read"));
        return fail();
    }
    const int mediaCount = int(gst_sdp_message_medias_len(sdp));
    const int opus = description.type == Manager::Offer ? opusPayload(sdp) : -1;
    GstWebRTCSDPType type = GST_WEBRTC_SDP_TYPE_OFFER;
    if (description.type == Manager::PrAnswer)
        type = GST_WEBRTC_SDP_TYPE_PRANSWER;
    else if (description.type == Manager::Answer)
        type = GST_WEBRTC_SDP_TYPE_ANSWER;
    std::shared_ptr<GstWebRTCSessionDescription> remote(gst_webrtc_session_description_new(type, sdp),
                                                        gst_webrtc_session_description_free);

    if (opus > 0 && opus != pipeline->opusPayload && !pipeline->localDescriptionRequested) {
        // webrtcbin pairs the offer's audio section with our sending track only when both use
        // the same Opus payload number; otherwise it answers receive-only and nobody hears
        // anybody. Nothing has been negotiated yet, so start over with the offer's number
        // (remote candidates already buffered are kept).
        std::exchange(pipeline, nullptr)->release();
        if (!m_owner.startPipeline(opus)) {
            emit m_owner.hasPeerConnectionChanged();
            diag(QStringLiteral("[WebRTC] Set remote description error: the call pipeline did not restart"));
            return fail();
        }
    }

    auto *request = new DescriptionRequest;
    request->pipeline = pipeline;
    request->negotiation = this;
    request->id = registerCompletion([completion] { completion(false); });
    request->remoteCompletion = std::move(completion);
    request->mediaCount = mediaCount;
    GstPromise *promise = gst_promise_new_with_change_func(&remoteDescriptionSet, request, nullptr);
    g_signal_emit_by_name(pipeline->webrtc, "set-remote-description", remote.get(), promise);
}

void CallNegotiation::remoteDescriptionSet(GstPromise *promise, void *data)
{
    std::unique_ptr<DescriptionRequest> request(static_cast<DescriptionRequest *>(data));
    const QString error = promiseError(promise);
    gst_promise_unref(promise);
    request->pipeline->post([id = request->id, error, mediaCount = request->mediaCount, pipeline = request->pipeline,
                             negotiation = request->negotiation, completion = request->remoteCompletion](Manager *) {
        if (!negotiation->takeCompletion(id))
            return;
        if (!error.isEmpty()) {
            diag(QStringLiteral("[WebRTC] Set remote description error: ") + error);
            completion(false);
            return;
        }
        diag(QStringLiteral("[WebRTC] Remote description set successfully"));
        pipeline->remoteDescriptionSet = true;
        pipeline->remoteMediaCount = mediaCount;
        // Drained here, on the GUI thread, where candidates are also appended: none can be
        // lost or added twice.
        negotiation->addPendingIceCandidates();
        completion(true);
    });
}

// ---------------------------------------------------------------------------------------------
// Remote candidates

bool CallNegotiation::addToPipeline(const WebRTCManager::IceCandidate &candidate, const QString &errorPrefix)
{
    const CallPipeline &pipeline = *m_owner.m_pipeline;
    const QString problem = candidateProblem(candidate, pipeline.remoteMediaCount, m_owner.config().iceAddress);
    if (!problem.isEmpty()) {
        diag(errorPrefix + problem);
        return false;
    }
    g_signal_emit_by_name(pipeline.webrtc, "add-ice-candidate", guint(candidate.sdpMLineIndex),
                          candidate.candidate.toUtf8().constData());
    return true;
}

void CallNegotiation::addIceCandidate(const WebRTCManager::IceCandidate &candidate)
{
    if (!m_owner.m_pipeline)
        return;
    if (!m_owner.m_pipeline->remoteDescriptionSet) {
        m_pendingIceCandidates.append(candidate);
        diag(QStringLiteral("[WebRTC] ICE candidate buffered (remote description not set)"));
        return;
    }
    if (addToPipeline(candidate, QStringLiteral("[WebRTC] Add ICE candidate error: ")))
        diag(QStringLiteral("[WebRTC] ICE candidate added"));
}

void CallNegotiation::addPendingIceCandidates()
{
    if (!m_owner.m_pipeline)
        return;
    const QList<WebRTCManager::IceCandidate> pending = std::exchange(m_pendingIceCandidates, {});
    for (const WebRTCManager::IceCandidate &candidate : pending)
        addToPipeline(candidate, QStringLiteral("[WebRTC] Add pending ICE candidate error: "));
    diag(QStringLiteral("[WebRTC] Added %1 pending ICE candidates").arg(pending.size()));
}
