#pragma once

#include "MediaConfig.h"

#include <QObject>
#include <QString>

#include <mutex>
#include <QtQml/qqmlregistration.h>

typedef struct _GstElement GstElement;

// Opens the microphone in a small pipeline of its own and publishes its input level (0..1)
// for the microphone test and the level meter.
class MicrophoneMonitor : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(float level READ level NOTIFY levelChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    // The chosen microphone's sound-server name (empty = system default); a running test moves to it.
    Q_PROPERTY(QString device READ device WRITE setDevice NOTIFY deviceChanged)

public:
    static constexpr int BarCount = 20;

    explicit MicrophoneMonitor(QObject *parent = nullptr);
    explicit MicrophoneMonitor(MediaConfig config, QObject *parent = nullptr);
    ~MicrophoneMonitor() override;

    Q_INVOKABLE void startMonitoring();
    Q_INVOKABLE void stopMonitoring();

    float level() const { return m_level; }
    bool isRunning() const { return m_pipeline != nullptr; }
    QString device() const { return m_config.sourceDevice; }
    void setDevice(const QString &device);

    // RMS x 5, capped at 1: speech at a normal distance fills most of the meter.
    static float levelForRms(double rms);

signals:
    void levelChanged();
    void isRunningChanged();
    void deviceChanged();

private:
    void setLevel(float level);

    MediaConfig m_config;
    GstElement *m_pipeline = nullptr;
    float m_level = 0;
    std::mutex m_errorMutex; // the capture thread reports, the GUI thread reads
    QString m_lastError;
};
