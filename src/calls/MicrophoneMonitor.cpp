#include "MicrophoneMonitor.h"

#include "Diagnostics.h"
#include "WebRTCManager.h"

#include <gst/gst.h>

#include <cmath>
#include <cstdio>
#include <mutex>

namespace {

// 1024 frames at 48 kHz, the block the level is measured over.
constexpr guint64 LevelIntervalNs = 1024ull * GST_SECOND / 48000;

} // namespace

MicrophoneMonitor::MicrophoneMonitor(QObject *parent)
    : MicrophoneMonitor(MediaConfig::fromEnvironment(), parent)
{
}

MicrophoneMonitor::MicrophoneMonitor(MediaConfig config, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
{
    WebRTCManager::ensureGstreamer();
}

MicrophoneMonitor::~MicrophoneMonitor()
{
    stopMonitoring();
}

float MicrophoneMonitor::levelForRms(double rms)
{
    if (!std::isfinite(rms) || rms <= 0)
        return 0;
    // Four decimals are all a meter needs, and they keep a level that sits exactly on a bar's
    // threshold (RMS 0.1 is 0.5) from lighting the next bar through rounding noise.
    return float(std::round(std::min(5.0 * rms, 1.0) * 1e4) / 1e4);
}

void MicrophoneMonitor::setLevel(float level)
{
    if (m_level == level)
        return;
    m_level = level;
    emit levelChanged();
}

void MicrophoneMonitor::setDevice(const QString &device)
{
    if (m_config.sourceDevice == device)
        return;
    m_config.sourceDevice = device;
    if (m_pipeline)
        m_config.applyDevices(m_pipeline);
    emit deviceChanged();
}

void MicrophoneMonitor::startMonitoring()
{
    if (m_pipeline)
        return;

    GError *error = nullptr;
    GstElement *source = gst_parse_bin_from_description(m_config.sourceDescription.toUtf8().constData(), TRUE, &error);
    if (!source || error) {
        diag(QStringLiteral("Failed to start audio engine: ") + QString::fromUtf8(error ? error->message : "no source"));
        if (error)
            g_error_free(error);
        if (source)
            gst_object_unref(source);
        return;
    }
    m_config.applyDevices(source);
    GstElement *pipeline = gst_pipeline_new("microphone-monitor");
    GstElement *convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement *resample = gst_element_factory_make("audioresample", nullptr);
    GstElement *caps = gst_element_factory_make("capsfilter", nullptr);
    GstElement *level = gst_element_factory_make("level", nullptr);
    GstElement *sink = gst_element_factory_make("fakesink", nullptr);
    GstCaps *format = gst_caps_from_string("audio/x-raw,format=F32LE,rate=48000");
    g_object_set(caps, "caps", format, nullptr);
    gst_caps_unref(format);
    g_object_set(level, "interval", LevelIntervalNs, "post-messages", TRUE, nullptr);
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, convert, resample, caps, level, sink, nullptr);
    gst_element_link_many(source, convert, resample, caps, level, sink, nullptr);

    GstBus *bus = gst_element_get_bus(pipeline);
    // Runs on the capture thread. stopMonitoring() takes the pipeline to NULL, which joins that
    // thread, before this object can go away; posted steps die with the object.
    gst_bus_set_sync_handler(bus, +[](GstBus *, GstMessage *message, gpointer data) -> GstBusSyncReply {
        auto *self = static_cast<MicrophoneMonitor *>(data);
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
            GError *error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            const QString reason = QString::fromUtf8(error ? error->message : "unknown error");
            if (error)
                g_error_free(error);
            {
                std::lock_guard lock(self->m_errorMutex);
                self->m_lastError = reason;
            }
            // A device that fails after the start (opened lazily) stops the monitor.
            QMetaObject::invokeMethod(self, [self, reason] {
                if (!self->m_pipeline)
                    return;
                diag(QStringLiteral("Failed to start audio engine: ") + reason);
                self->stopMonitoring();
            }, Qt::QueuedConnection);
            gst_message_unref(message);
            return GST_BUS_DROP;
        }
        const GstStructure *s = gst_message_get_structure(message);
        if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ELEMENT || !gst_structure_has_name(s, "level")) {
            gst_message_unref(message); // a dropping sync handler owns the message
            return GST_BUS_DROP;
        }
        const GValue *rms = gst_structure_get_value(s, "rms");
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        auto *array = rms ? static_cast<GValueArray *>(g_value_get_boxed(rms)) : nullptr;
        const double db = array && array->n_values > 0 ? g_value_get_double(g_value_array_get_nth(array, 0)) : -INFINITY;
        G_GNUC_END_IGNORE_DEPRECATIONS
        gst_message_unref(message);
        const float level = levelForRms(std::pow(10.0, db / 20.0));
        QMetaObject::invokeMethod(self, [self, level] {
            if (self->m_pipeline)
                self->setLevel(level);
        }, Qt::QueuedConnection);
        return GST_BUS_DROP;
    }, this, nullptr);

    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        QString reason = QStringLiteral("the capture device did not start");
        {
            std::lock_guard lock(m_errorMutex);
            if (!m_lastError.isEmpty())
                reason = std::exchange(m_lastError, {});
        }
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(pipeline);
        diag(QStringLiteral("Failed to start audio engine: ") + reason);
        return;
    }
    gst_object_unref(bus);
    m_pipeline = pipeline;
    emit isRunningChanged();
}

void MicrophoneMonitor::stopMonitoring()
{
    if (!m_pipeline)
        return;
    GstElement *pipeline = std::exchange(m_pipeline, nullptr);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    emit isRunningChanged();
    // After any level still queued from the capture thread.
    QMetaObject::invokeMethod(this, [this] { setLevel(0); }, Qt::QueuedConnection);
}
