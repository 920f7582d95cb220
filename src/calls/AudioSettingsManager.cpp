#include "AudioSettingsManager.h"

#include "Preferences.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QSettings>

#include <cmath>

namespace {

QSettings preferences()
{
    return Preferences::store();
}

float unitValue(float value, float fallback)
{
    return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : fallback;
}

float storedUnit(const QSettings &settings, const QString &key, float fallback)
{
    const QVariant stored = settings.value(key);
    bool ok = false;
    const float value = stored.isValid() ? stored.toFloat(&ok) : 0.0f;
    return ok ? unitValue(value, fallback) : fallback;
}

} // namespace

AudioSettingsManager::AudioSettingsManager(QObject *parent)
    : QObject(parent)
{
    loadSettings();
}

AudioSettingsManager *AudioSettingsManager::shared()
{
    static AudioSettingsManager *instance = new AudioSettingsManager(QCoreApplication::instance());
    return instance;
}

AudioSettingsManager *AudioSettingsManager::create(QQmlEngine *, QJSEngine *)
{
    AudioSettingsManager *instance = shared();
    QJSEngine::setObjectOwnership(instance, QJSEngine::CppOwnership);
    return instance;
}

QString AudioSettingsManager::percentText(double value)
{
    value = std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
    // The values are single precision: 0.29f is 0.28999..., which must still show as 29%.
    return QString::number(int(std::floor(value * 100.0 + 1e-4))) + QLatin1Char('%');
}

void AudioSettingsManager::loadSettings()
{
    QSettings settings = preferences();
    // 0 is a valid volume and sensitivity: only a missing or malformed value gives the default.
    m_outputVolume = storedUnit(settings, QStringLiteral("callOutputVolume"), DefaultOutputVolume);
    m_inputSensitivity = storedUnit(settings, QStringLiteral("callInputSensitivity"), DefaultInputSensitivity);
    const QVariant mic = settings.value(QStringLiteral("callMicEnabledByDefault"));
    m_micEnabledByDefault = mic.isValid() ? mic.toBool() : true;
    m_microphoneDevice = settings.value(QStringLiteral("callMicrophoneDevice")).toString();
    m_speakerDevice = settings.value(QStringLiteral("callSpeakerDevice")).toString();
    emit outputVolumeChanged();
    emit inputSensitivityChanged();
    emit micEnabledByDefaultChanged();
    emit microphoneDeviceChanged();
    emit speakerDeviceChanged();
}

void AudioSettingsManager::saveSettings()
{
    QSettings settings = preferences();
    settings.setValue(QStringLiteral("callOutputVolume"), m_outputVolume);
    settings.setValue(QStringLiteral("callInputSensitivity"), m_inputSensitivity);
    settings.setValue(QStringLiteral("callMicEnabledByDefault"), m_micEnabledByDefault);
    settings.setValue(QStringLiteral("speakerVolume"), double(m_outputVolume));
    settings.setValue(QStringLiteral("microphoneVolume"), double(m_inputSensitivity));
    settings.setValue(QStringLiteral("enableMicBeforeCall"), m_micEnabledByDefault);
    settings.setValue(QStringLiteral("callMicrophoneDevice"), m_microphoneDevice);
    settings.setValue(QStringLiteral("callSpeakerDevice"), m_speakerDevice);
}

void AudioSettingsManager::setOutputVolume(float volume)
{
    volume = unitValue(volume, m_outputVolume);
    if (volume == m_outputVolume)
        return;
    m_outputVolume = volume;
    saveSettings();
    emit outputVolumeChanged();
}

void AudioSettingsManager::setInputSensitivity(float sensitivity)
{
    sensitivity = unitValue(sensitivity, m_inputSensitivity);
    if (sensitivity == m_inputSensitivity)
        return;
    m_inputSensitivity = sensitivity;
    saveSettings();
    emit inputSensitivityChanged();
}

void AudioSettingsManager::setMicEnabledByDefault(bool enabled)
{
    if (enabled == m_micEnabledByDefault)
        return;
    m_micEnabledByDefault = enabled;
    saveSettings();
    emit micEnabledByDefaultChanged();
}

void AudioSettingsManager::setMicrophoneDevice(const QString &device)
{
    if (device == m_microphoneDevice)
        return;
    m_microphoneDevice = device;
    saveSettings();
    emit microphoneDeviceChanged();
}

void AudioSettingsManager::setSpeakerDevice(const QString &device)
{
    if (device == m_speakerDevice)
        return;
    m_speakerDevice = device;
    saveSettings();
    emit speakerDeviceChanged();
}
