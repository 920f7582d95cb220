#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

// The member's call audio preferences. The settings page's call controls edit the same values,
// so saving writes both key sets.
class AudioSettingsManager : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(float outputVolume READ outputVolume WRITE setOutputVolume NOTIFY outputVolumeChanged)
    Q_PROPERTY(float inputSensitivity READ inputSensitivity WRITE setInputSensitivity NOTIFY inputSensitivityChanged)
    Q_PROPERTY(bool micEnabledByDefault READ micEnabledByDefault WRITE setMicEnabledByDefault
                   NOTIFY micEnabledByDefaultChanged)
    // Sound-server device names; empty = the system default.
    Q_PROPERTY(QString microphoneDevice READ microphoneDevice WRITE setMicrophoneDevice NOTIFY microphoneDeviceChanged)
    Q_PROPERTY(QString speakerDevice READ speakerDevice WRITE setSpeakerDevice NOTIFY speakerDeviceChanged)

public:
    static constexpr float DefaultOutputVolume = 0.8f;
    static constexpr float DefaultInputSensitivity = 0.5f;

    // Not default-constructible on purpose: Qt 6.4's QML would otherwise build its own
    // instance instead of asking create() for the shared one.
    explicit AudioSettingsManager(QObject *parent);

    static AudioSettingsManager *shared();
    static AudioSettingsManager *create(QQmlEngine *, QJSEngine *);

    // The whole percentage a level shows as, truncated: 0.8 is "80%", 0.999 is "99%".
    Q_INVOKABLE static QString percentText(double value);

    void loadSettings();
    void saveSettings();

    float outputVolume() const { return m_outputVolume; }
    float inputSensitivity() const { return m_inputSensitivity; }
    bool micEnabledByDefault() const { return m_micEnabledByDefault; }
    // Each change is saved at once.
    void setOutputVolume(float volume);
    void setInputSensitivity(float sensitivity);
    void setMicEnabledByDefault(bool enabled);
    QString microphoneDevice() const { return m_microphoneDevice; }
    QString speakerDevice() const { return m_speakerDevice; }
    void setMicrophoneDevice(const QString &device);
    void setSpeakerDevice(const QString &device);

signals:
    void outputVolumeChanged();
    void inputSensitivityChanged();
    void micEnabledByDefaultChanged();
    void microphoneDeviceChanged();
    void speakerDeviceChanged();

private:
    float m_outputVolume = DefaultOutputVolume;
    float m_inputSensitivity = DefaultInputSensitivity;
    bool m_micEnabledByDefault = true;
    QString m_microphoneDevice;
    QString m_speakerDevice;
};
