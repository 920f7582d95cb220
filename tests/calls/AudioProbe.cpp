#include "AudioProbe.h"

#include <QTest>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cmath>

QString AudioProbe::sinkDescription(const char *name)
{
    return QStringLiteral("audioconvert ! audio/x-raw,format=F32LE,channels=1,rate=48000 "
                          "! appsink name=%1 sync=true emit-signals=false")
        .arg(QLatin1String(name));
}

AudioProbe::~AudioProbe()
{
    detach();
    if (m_own) {
        gst_element_set_state(m_own, GST_STATE_NULL);
        gst_object_unref(m_own);
    }
}

bool AudioProbe::play(const QString &description)
{
    m_own = gst_parse_launch(description.toUtf8().constData(), nullptr);
    if (!m_own)
        return false;
    gst_object_ref_sink(m_own);
    attach(m_own);
    return gst_element_set_state(m_own, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

bool AudioProbe::attach(GstElement *pipeline, const char *name)
{
    detach();
    if (!pipeline)
        return false;
    m_sink = gst_bin_get_by_name(GST_BIN(pipeline), name);
    if (!m_sink)
        return false;
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = +[](GstAppSink *sink, gpointer data) -> GstFlowReturn {
        auto *self = static_cast<AudioProbe *>(data);
        GstSample *sample = gst_app_sink_pull_sample(sink);
        if (!sample)
            return GST_FLOW_OK;
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto *begin = reinterpret_cast<const float *>(map.data);
            std::lock_guard lock(self->m_mutex);
            self->m_samples.insert(self->m_samples.end(), begin, begin + map.size / sizeof(float));
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(m_sink), &callbacks, this, nullptr);
    return true;
}

void AudioProbe::detach()
{
    if (!m_sink)
        return;
    GstAppSinkCallbacks none{};
    gst_app_sink_set_callbacks(GST_APP_SINK(m_sink), &none, nullptr, nullptr);
    gst_object_unref(m_sink);
    m_sink = nullptr;
}

std::vector<float> AudioProbe::next(int ms, int timeoutMs)
{
    const size_t wanted = size_t(Rate) * size_t(ms) / 1000;
    {
        std::lock_guard lock(m_mutex);
        m_samples.clear();
    }
    auto arrived = [&] {
        std::lock_guard lock(m_mutex);
        return m_samples.size() >= wanted;
    };
    if (!QTest::qWaitFor(arrived, timeoutMs))
        return {};
    std::lock_guard lock(m_mutex);
    return {m_samples.end() - std::ptrdiff_t(wanted), m_samples.end()};
}

double AudioProbe::rmsDbfs(const std::vector<float> &samples)
{
    if (samples.empty())
        return -INFINITY;
    double sum = 0;
    for (float s : samples)
        sum += double(s) * s;
    const double rms = std::sqrt(sum / double(samples.size()));
    return rms > 0 ? 20 * std::log10(rms) : -INFINITY;
}

double AudioProbe::frequency(const std::vector<float> &samples, int rate)
{
    int crossings = 0;
    size_t first = 0, last = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            if (crossings == 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return double(crossings - 1) * rate / double(last - first);
}
