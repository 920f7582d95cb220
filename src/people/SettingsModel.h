#pragma once

#include "MediaConfig.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <functional>

class AudioSettingsManager;
#include "MicrophoneMonitor.h"
class WebRTCManager;

// The settings page's call block: speaker volume, microphone volume and "mic before call" are the
// call panel's own values (AudioSettingsManager, which stores both key sets), so either screen
// edits what the other shows. Also runs the page's microphone test on a monitor of its own.
//
// QML (SettingsModel in Orvane.People): speakerVolume, microphoneVolume (0…1),
// enableMicBeforeCall, speakerPercent, microphonePercent ("80%"), isTesting, micLevel,
// micMonitor; toggleMicTest(), startMicTest(), stopMicTest().
class SettingsModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(double speakerVolume READ speakerVolume WRITE setSpeakerVolume NOTIFY speakerVolumeChanged)
    Q_PROPERTY(double microphoneVolume READ microphoneVolume WRITE setMicrophoneVolume NOTIFY microphoneVolumeChanged)
    Q_PROPERTY(bool enableMicBeforeCall READ enableMicBeforeCall WRITE setEnableMicBeforeCall
                   NOTIFY enableMicBeforeCallChanged)
    Q_PROPERTY(QString speakerPercent READ speakerPercent NOTIFY speakerVolumeChanged)
    Q_PROPERTY(QString microphonePercent READ microphonePercent NOTIFY microphoneVolumeChanged)
    Q_PROPERTY(bool isTesting READ isTesting NOTIFY isTestingChanged)
    Q_PROPERTY(float micLevel READ micLevel NOTIFY micLevelChanged)
    Q_PROPERTY(MicrophoneMonitor *micMonitor READ micMonitor CONSTANT)

public:
    explicit SettingsModel(QObject *parent = nullptr);
    // Tests choose the settings object and the microphone (a test source, or one that fails).
    SettingsModel(AudioSettingsManager *audio, const MediaConfig &microphone, QObject *parent = nullptr);
    ~SettingsModel() override;

    double speakerVolume() const;
    void setSpeakerVolume(double volume);
    double microphoneVolume() const;
    void setMicrophoneVolume(double volume);
    bool enableMicBeforeCall() const;
    void setEnableMicBeforeCall(bool enabled);
    QString speakerPercent() const { return percentText(speakerVolume()); }
    QString microphonePercent() const { return percentText(microphoneVolume()); }

    bool isTesting() const { return m_isTesting; }
    float micLevel() const;
    MicrophoneMonitor *micMonitor() const { return m_monitor; }

    // Stops a running test, or asks for the microphone and starts one.
    Q_INVOKABLE void toggleMicTest();
    Q_INVOKABLE void startMicTest();
    // The page went away: no test may outlive it, nor a permission answer still on its way.
    Q_INVOKABLE void stopMicTest();

    // The whole percentage: 0.8 → "80%", 0.999 → "99%". A value a hair below a whole percent only
    // because of binary fractions (0.29 is stored as 0.28999…) still counts as that percent.
    static int percent(double value);
    static QString percentText(double value);

signals:
    void speakerVolumeChanged();
    void microphoneVolumeChanged();
    void enableMicBeforeCallChanged();
    void isTestingChanged();
    void micLevelChanged();

private:
    void setTesting(bool testing);

    QPointer<AudioSettingsManager> m_audio;
    MediaConfig m_microphone;
    MicrophoneMonitor *m_monitor;
    WebRTCManager *m_permission = nullptr; // asks about the monitor's own source
    bool m_isTesting = false;
    // Bumped by every start and stop: a permission answer for an earlier press is dropped.
    quint64 m_testGeneration = 0;
};
