#include "CallAudioControls.h"

#include "AudioSettingsManager.h"
#include "CallPipeline.h"
#include "Diagnostics.h"
#include "WebRTCManager.h"

#include <cmath>

CallAudioControls::CallAudioControls(WebRTCManager &owner, const std::shared_ptr<CallPipeline> &pipeline)
    : m_owner(owner)
    , m_pipeline(pipeline)
{
    m_inactivityTimer.setInterval(250);
    QObject::connect(&m_inactivityTimer, &QTimer::timeout, &owner, [this] { checkInactivity(); });
}

double CallAudioControls::captureGain(double sensitivity)
{
    return 2.0 * std::clamp(sensitivity, 0.0, 1.0);
}

void CallAudioControls::apply() const
{
    if (!m_pipeline)
        return;
    g_object_set(m_pipeline->captureVolume, "mute", gboolean(m_muted), "volume", captureGain(m_inputSensitivity),
                 nullptr);
    g_object_set(m_pipeline->playbackVolume, "mute", gboolean(!m_speakerEnabled), "volume",
                 std::clamp(m_outputVolume, 0.0, 1.0), nullptr);
}

template<typename T>
void CallAudioControls::change(T &value, T next, void (WebRTCManager::*changed)())
{
    if (value == next)
        return;
    value = next;
    apply();
    emit (m_owner.*changed)();
}

void CallAudioControls::setMuted(bool muted)
{
    change(m_muted, muted, &WebRTCManager::isMutedChanged);
}

void CallAudioControls::setSpeakerEnabled(bool enabled)
{
    change(m_speakerEnabled, enabled, &WebRTCManager::isSpeakerEnabledChanged);
}

void CallAudioControls::setOutputVolume(double volume)
{
    const double next = std::isfinite(volume) ? std::clamp(volume, 0.0, 1.0) : m_outputVolume;
    change(m_outputVolume, next, &WebRTCManager::outputVolumeChanged);
}

void CallAudioControls::setInputSensitivity(double sensitivity)
{
    const double next = std::isfinite(sensitivity) ? std::clamp(sensitivity, 0.0, 1.0) : m_inputSensitivity;
    change(m_inputSensitivity, next, &WebRTCManager::inputSensitivityChanged);
}

void CallAudioControls::followAudioSettings(AudioSettingsManager *settings)
{
    if (!settings)
        return;
    auto apply = [this, settings] {
        setOutputVolume(settings->outputVolume());
        setInputSensitivity(settings->inputSensitivity());
    };
    apply();
    QObject::connect(settings, &AudioSettingsManager::outputVolumeChanged, &m_owner, apply);
    QObject::connect(settings, &AudioSettingsManager::inputSensitivityChanged, &m_owner, apply);
    // The chosen devices: the next call opens them, a running one moves to them.
    auto choose = [this, settings] {
        MediaConfig config = m_owner.config();
        config.sourceDevice = settings->microphoneDevice();
        config.sinkDevice = settings->speakerDevice();
        m_owner.setConfig(config);
        return config;
    };
    choose();
    auto devices = [this, choose] {
        choose();
        m_owner.applyDevices(m_owner.pipeline());
    };
    QObject::connect(settings, &AudioSettingsManager::microphoneDeviceChanged, &m_owner, devices);
    QObject::connect(settings, &AudioSettingsManager::speakerDeviceChanged, &m_owner, devices);
}

void CallAudioControls::setInputLevel(float level)
{
    if (m_inputLevel == level)
        return;
    m_inputLevel = level;
    emit m_owner.inputLevelChanged();
}

std::optional<float> CallAudioControls::levelOf(GstMessage *message)
{
    const GstStructure *s = gst_message_get_structure(message);
    if (!gst_structure_has_name(s, "level"))
        return std::nullopt;
    const GValue *list = gst_structure_get_value(s, "rms");
    if (!list)
        return std::nullopt;
    GValueArray *array = static_cast<GValueArray *>(g_value_get_boxed(list));
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (!array || array->n_values == 0)
        return std::nullopt;
    const double db = g_value_get_double(g_value_array_get_nth(array, 0));
    G_GNUC_END_IGNORE_DEPRECATIONS
    return float(std::min(1.0, 5.0 * std::pow(10.0, db / 20.0)));
}

void CallAudioControls::watchRemoteAudio()
{
    if (!m_pipeline || m_pipeline->connectedSinceMs != 0)
        return;
    m_pipeline->connectedSinceMs = CallPipeline::monotonicMs();
    m_inactive = false;
    if (m_inactivityTimeoutMs > 0)
        m_inactivityTimer.start();
}

void CallAudioControls::setInactivityTimeoutMs(int ms)
{
    m_inactivityTimeoutMs = ms;
    if (ms <= 0)
        m_inactivityTimer.stop();
    else if (m_pipeline && m_pipeline->connectedSinceMs != 0)
        m_inactivityTimer.start();
}

void CallAudioControls::checkInactivity()
{
    if (!m_pipeline || m_pipeline->connectedSinceMs == 0 || m_inactivityTimeoutMs <= 0)
        return;
    const qint64 last = std::max(m_pipeline->lastRemoteRtpMs.load(), m_pipeline->connectedSinceMs);
    const bool silent = CallPipeline::monotonicMs() - last >= m_inactivityTimeoutMs;
    if (silent && !m_inactive) {
        m_inactive = true;
        const double seconds = m_inactivityTimeoutMs / 1000.0;
        diag(QStringLiteral("[WebRTC] No audio packets from the other side for %1 s").arg(seconds));
        emit m_owner.remoteAudioInactive();
    } else if (!silent && m_inactive) {
        m_inactive = false;
        diag(QStringLiteral("[WebRTC] Audio from the other side resumed"));
        emit m_owner.remoteAudioResumed();
    }
}

void CallAudioControls::reset()
{
    m_inactivityTimer.stop();
    m_inactive = false;
    setInputLevel(0);
    // The next call starts with the microphone and the speaker on, as its window shows them.
    setMuted(false);
    setSpeakerEnabled(true);
}
