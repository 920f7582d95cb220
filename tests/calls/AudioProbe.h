#pragma once

#include <QString>

#include <mutex>
#include <vector>

typedef struct _GstElement GstElement;

// Collects the mono float samples an appsink receives, for measuring what a peer decoded.
class AudioProbe
{
public:
    static constexpr int Rate = 48000;
    // A sink description whose appsink this probe can attach to.
    static QString sinkDescription(const char *name = "remote_out");

    AudioProbe() = default;
    ~AudioProbe();
    AudioProbe(const AudioProbe &) = delete;
    AudioProbe &operator=(const AudioProbe &) = delete;

    bool attach(GstElement *pipeline, const char *name = "remote_out");
    void detach();
    void clear();
    size_t sampleCount() const;
    // The last `count` samples (fewer when fewer arrived).
    std::vector<float> lastSamples(size_t count) const;

    static double rmsDbfs(const std::vector<float> &samples);
    // Dominant frequency by counting upward zero crossings.
    static double frequency(const std::vector<float> &samples, int rate = Rate);

private:
    mutable std::mutex m_mutex; // the appsink's streaming thread appends, the test reads
    std::vector<float> m_samples;
    GstElement *m_sink = nullptr;
};
