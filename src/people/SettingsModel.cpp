#include "SettingsModel.h"

#include "AudioSettingsManager.h"
#include "MicrophoneMonitor.h"
#include "WebRTCManager.h"

#include <cmath>

SettingsModel::SettingsModel(QObject *parent)
    : SettingsModel(AudioSettingsManager::shared(), MediaConfig::fromEnvironment(), parent)
{
}

SettingsModel::SettingsModel(AudioSettingsManager *audio, const MediaConfig &microphone, QObject *parent)
    : QObject(parent)
    , m_audio(audio)
    , m_microphone(microphone)
    , m_monitor(new MicrophoneMonitor(microphone, this))
{
    if (m_audio) {
        connect(m_audio, &AudioSettingsManager::outputVolumeChanged, this, &SettingsModel::speakerVolumeChanged);
        connect(m_audio, &AudioSettingsManager::inputSensitivityChanged, this,
                &SettingsModel::microphoneVolumeChanged);
        connect(m_audio, &AudioSettingsManager::micEnabledByDefaultChanged, this,
                &SettingsModel::enableMicBeforeCallChanged);
        // The test listens to the chosen microphone, and moves with a new choice.
        m_monitor->setDevice(m_audio->microphoneDevice());
        connect(m_audio, &AudioSettingsManager::microphoneDeviceChanged, m_monitor,
                [this] { m_monitor->setDevice(m_audio->microphoneDevice()); });
    }
    connect(m_monitor, &MicrophoneMonitor::levelChanged, this, &SettingsModel::micLevelChanged);
    // A device that fails after the start stops the monitor; the button then offers the test again.
    connect(m_monitor, &MicrophoneMonitor::isRunningChanged, this, [this] {
        if (!m_monitor->isRunning())
            setTesting(false);
    });
}

SettingsModel::~SettingsModel()
{
    ++m_testGeneration;
    m_monitor->stopMonitoring();
}

double SettingsModel::speakerVolume() const
{
    return m_audio ? double(m_audio->outputVolume()) : double(AudioSettingsManager::DefaultOutputVolume);
}

void SettingsModel::setSpeakerVolume(double volume)
{
    if (m_audio)
        m_audio->setOutputVolume(float(volume));
}

double SettingsModel::microphoneVolume() const
{
    return m_audio ? double(m_audio->inputSensitivity()) : double(AudioSettingsManager::DefaultInputSensitivity);
}

void SettingsModel::setMicrophoneVolume(double volume)
{
    if (m_audio)
        m_audio->setInputSensitivity(float(volume));
}

bool SettingsModel::enableMicBeforeCall() const
{
    return m_audio ? m_audio->micEnabledByDefault() : true;
}

void SettingsModel::setEnableMicBeforeCall(bool enabled)
{
    if (m_audio)
        m_audio->setMicEnabledByDefault(enabled);
}

float SettingsModel::micLevel() const
{
    return m_monitor->level();
}

void SettingsModel::toggleMicTest()
{
    if (m_isTesting)
        stopMicTest();
    else
        startMicTest();
}

void SettingsModel::startMicTest()
{
    if (m_isTesting)
        return;
    const quint64 generation = ++m_testGeneration;
    if (!m_permission)
        m_permission = new WebRTCManager(m_microphone, this);
    QPointer<SettingsModel> self(this);
    m_permission->checkMicrophonePermission([self, generation](bool granted) {
        if (!self || generation != self->m_testGeneration)
            return;
        if (!granted) {
            self->setTesting(false);
            return;
        }
        self->setTesting(true);
        self->m_monitor->startMonitoring();
        // The engine did not start: the monitor wrote why, and the test is not running.
        if (!self->m_monitor->isRunning())
            self->setTesting(false);
    });
}

void SettingsModel::stopMicTest()
{
    ++m_testGeneration;
    setTesting(false);
    m_monitor->stopMonitoring();
}

int SettingsModel::percent(double value)
{
    if (!std::isfinite(value))
        return 0;
    return int(std::floor(std::clamp(value, 0.0, 1.0) * 100.0 + 1e-4));
}

QString SettingsModel::percentText(double value)
{
    return QString::number(percent(value)) + QLatin1Char('%');
}

void SettingsModel::setTesting(bool testing)
{
    if (m_isTesting == testing)
        return;
    m_isTesting = testing;
    emit isTestingChanged();
}
