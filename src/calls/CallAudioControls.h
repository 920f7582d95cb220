#pragma once

#include <QTimer>

#include <memory>
#include <optional>

class AudioSettingsManager;
class WebRTCManager;
struct CallPipeline;
typedef struct _GstMessage GstMessage;

// What the member sets for a call (mute, speaker, output volume, microphone sensitivity, the
// chosen devices), applied live to the owner's current pipeline, and what the call's audio shows
// back: the sent level for the meter and whether the peer's RTP still arrives. Changes are
// announced through the owner's signals, on the GUI thread.
class CallAudioControls
{
public:
    // `pipeline` is the owner's current one (null between calls).
    CallAudioControls(WebRTCManager &owner, const std::shared_ptr<CallPipeline> &pipeline);

    bool isMuted() const { return m_muted; }
    void setMuted(bool muted);
    bool isSpeakerEnabled() const { return m_speakerEnabled; }
    void setSpeakerEnabled(bool enabled);
    double outputVolume() const { return m_outputVolume; }
    void setOutputVolume(double volume);
    double inputSensitivity() const { return m_inputSensitivity; }
    void setInputSensitivity(double sensitivity);
    static double captureGain(double sensitivity);
    // Writes the values above to the pipeline; a new one gets them before it plays.
    void apply() const;
    void followAudioSettings(AudioSettingsManager *settings);

    float inputLevel() const { return m_inputLevel; }
    void setInputLevel(float level);
    // The sent level a "level" element's message carries, 0..1 (RMS x 5, capped).
    static std::optional<float> levelOf(GstMessage *message);

    int inactivityTimeoutMs() const { return m_inactivityTimeoutMs; }
    void setInactivityTimeoutMs(int ms);
    // The media connected: from now on a peer whose RTP stops is reported.
    void watchRemoteAudio();

    // The call is over: no level, no watch, and the microphone and speaker back on.
    void reset();

private:
    template<typename T>
    void change(T &value, T next, void (WebRTCManager::*changed)());
    void checkInactivity();

    WebRTCManager &m_owner;
    const std::shared_ptr<CallPipeline> &m_pipeline;
    bool m_muted = false;
    bool m_speakerEnabled = true;
    double m_outputVolume = 1.0;
    double m_inputSensitivity = 0.5;
    float m_inputLevel = 0;
    int m_inactivityTimeoutMs = 8000;
    bool m_inactive = false;
    QTimer m_inactivityTimer;
};
