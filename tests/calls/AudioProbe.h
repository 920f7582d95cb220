#pragma once

#include <QString>

#include <vector>

typedef struct _GstElement GstElement;

// Reads the mono float samples an appsink receives, for measuring what a peer decoded.
class AudioProbe
{
public:
    static constexpr int Rate = 48000;
    // A sink description whose appsink this probe can attach to.
    static QString sinkDescription();

    AudioProbe() = default;
    ~AudioProbe();
    AudioProbe(const AudioProbe &) = delete;
    AudioProbe &operator=(const AudioProbe &) = delete;

    bool attach(GstElement *pipeline);
    // Runs a pipeline of its own (a tone into a sound server's cable, or a recording of a
    // monitor ending in sinkDescription()) until the probe goes.
    bool play(const QString &description);
    void detach();
    // The next `ms` milliseconds that arrive; empty when they do not come within `timeoutMs`.
    std::vector<float> next(int ms, int timeoutMs);

    static double rmsDbfs(const std::vector<float> &samples);
    // Dominant frequency by counting upward zero crossings.
    static double frequency(const std::vector<float> &samples);

private:
    GstElement *m_sink = nullptr;
    GstElement *m_own = nullptr;
};
