#pragma once

#include "MediaConfig.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include <gst/gst.h>

class WebRTCManager;

// One call's GStreamer pipeline: microphone → echo cancelling → Opus → webrtcbin, and the peer's
// stream → Opus → echo probe → speaker once it arrives. Also everything the streaming threads
// share with the GUI thread: they only read the element pointers and post work to the owner,
// whose pointer is cleared under the mutex on release(); after that nothing they post arrives.
struct CallPipeline : std::enable_shared_from_this<CallPipeline>
{
    // Built for `owner`, not yet playing; null, with the reason on the output, when an element,
    // the configured source or sink, or the pinned ICE address cannot be used.
    static std::shared_ptr<CallPipeline> build(WebRTCManager *owner, const MediaConfig &config, int opusPayload,
                                               const QString &stunServer);
    // False, with the reason on the output and the pipeline released, when it does not start
    // (no microphone or speaker).
    bool play();
    void release();

    // Runs `work` on the owner's thread, only while this is still the owner's pipeline.
    void post(std::function<void(WebRTCManager *)> work);
    // A strong reference for each GLib callback, released when GLib drops the callback.
    gpointer ref() { return new std::shared_ptr<CallPipeline>(shared_from_this()); }
    static void unref(gpointer data, GClosure * = nullptr) { delete static_cast<std::shared_ptr<CallPipeline> *>(data); }
    static CallPipeline *from(gpointer data) { return static_cast<std::shared_ptr<CallPipeline> *>(data)->get(); }
    // A webrtcbin signal whose callback gets such a reference as its data.
    void connect(const char *signal, GCallback callback)
    {
        g_signal_connect_data(webrtc, signal, callback, ref(), unref, {});
    }

    static int aliveCount();
    static qint64 monotonicMs() { return qint64(g_get_monotonic_time() / 1000); }

    std::mutex mutex;
    WebRTCManager *owner = nullptr;
    QStringList localMids;   // guarded by mutex: written by a promise, read by the ICE callback
    QString lastError;       // guarded by mutex: written by the bus handler

    GstElement *pipeline = nullptr;
    GstElement *webrtc = nullptr;
    GstElement *captureVolume = nullptr;
    GstElement *playbackVolume = nullptr;
    GstElement *playbackIn = nullptr;

    std::atomic<qint64> lastRemoteRtpMs{0};
    std::atomic<bool> remoteAudioSeen{false};
    std::atomic<bool> remotePadLinked{false};
    int opusPayload = 0;
    bool localDescriptionRequested = false;

    // GUI thread only.
    bool remoteDescriptionSet = false;
    int remoteMediaCount = 0;
    bool remoteTrack = false;
    qint64 connectedSinceMs = 0;

private:
    GstElement *element(const char *name) const;
    bool addDevices(const MediaConfig &config);
    bool pinIceAddress(const QString &address);
    void watchRemoteStream();
    void playRemoteStream(GstPad *pad);
    void watchBus();
};
