#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class WebRTCManager;

// Tells when the other side of a running call is gone (process killed, machine asleep, network
// cut) although nobody hung up: its RTP stops (a quiet peer keeps sending, see WebRTCManager),
// ICE fails or stays disconnected, or the media never connects after the call was answered.
// The call manager arms it when a call becomes active and ends the call on peerVanished().
class CallLiveness : public QObject
{
    Q_OBJECT
public:
    static constexpr int connectTimeoutMs = 20000;    // answered, but the media never connects
    static constexpr int disconnectedGraceMs = 5000;  // ICE "disconnected" that does not recover

    explicit CallLiveness(WebRTCManager *media, QObject *parent = nullptr);

    void arm();
    void disarm();
    bool isArmed() const { return m_armed; }

signals:
    void peerVanished(const QString &reason);

private:
    void vanish(const QString &reason);

    QPointer<WebRTCManager> m_media;
    bool m_armed = false;
    bool m_connected = false;
    QTimer m_connectTimer;
    QTimer m_disconnectedTimer;
};
