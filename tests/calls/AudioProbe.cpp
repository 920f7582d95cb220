#include "AudioProbe.h"

#include <QDeadlineTimer>
#include <QTest>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cmath>

QString AudioProbe::sinkDescription()
{
    return QStringLiteral("audioconvert ! audio/x-raw,format=F32LE,channels=1,rate=48000 "
                          "! appsink name=remote_out sync=true emit-signals=false max-buffers=100 drop=true");
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

bool AudioProbe::attach(GstElement *pipeline)
{
    detach();
    m_sink = pipeline ? gst_bin_get_by_name(GST_BIN(pipeline), "remote_out") : nullptr;
    return m_sink != nullptr;
}

void AudioProbe::detach()
{
    if (m_sink)
        gst_object_unref(m_sink);
    m_sink = nullptr;
}

std::vector<float> AudioProbe::next(int ms, int timeoutMs)
{
    const size_t wanted = size_t(Rate) * size_t(ms) / 1000;
    std::vector<float> samples;
    if (!m_sink)
        return samples;
    // What the sink kept from before is not what comes next.
    while (GstSample *old = gst_app_sink_try_pull_sample(GST_APP_SINK(m_sink), 0))
        gst_sample_unref(old);
    const QDeadlineTimer deadline(timeoutMs);
    while (samples.size() < wanted) {
        GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(m_sink), 0);
        if (!sample) {
            if (deadline.hasExpired())
                return {};
            QTest::qWait(5); // the application's own work goes on meanwhile
            continue;
        }
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto *begin = reinterpret_cast<const float *>(map.data);
            samples.insert(samples.end(), begin, begin + map.size / sizeof(float));
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    samples.erase(samples.begin(), samples.end() - std::ptrdiff_t(wanted));
    return samples;
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

double AudioProbe::frequency(const std::vector<float> &samples)
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
    return double(crossings - 1) * Rate / double(last - first);
}
