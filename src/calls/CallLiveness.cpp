#include "CallLiveness.h"

#include "WebRTCManager.h"

CallLiveness::CallLiveness(WebRTCManager *media, QObject *parent)
    : QObject(parent)
    , m_media(media)
{
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(connectTimeoutMs);
    m_disconnectedTimer.setSingleShot(true);
    m_disconnectedTimer.setInterval(disconnectedGraceMs);
    connect(&m_connectTimer, &QTimer::timeout, this,
            [this] { vanish(QStringLiteral("the media did not connect")); });
    connect(&m_disconnectedTimer, &QTimer::timeout, this,
            [this] { vanish(QStringLiteral("ICE stayed disconnected")); });
    connect(media, &WebRTCManager::remoteAudioInactive, this,
            [this] { vanish(QStringLiteral("no audio packets from the other side")); });
    connect(media, &WebRTCManager::connectionStateChanged, this, [this] {
        if (m_media && m_media->connectionState() == WebRTCManager::Connected) {
            m_connected = true;
            m_connectTimer.stop();
        }
    });
    connect(media, &WebRTCManager::iceConnectionStateChanged, this, [this](int state) {
        switch (state) {
        case WebRTCManager::IceFailed:
            vanish(QStringLiteral("ICE failed"));
            break;
        case WebRTCManager::IceDisconnected:
            if (m_armed && !m_disconnectedTimer.isActive())
                m_disconnectedTimer.start();
            break;
        case WebRTCManager::IceConnected:
        case WebRTCManager::IceCompleted:
            m_disconnectedTimer.stop();
            break;
        default:
            break;
        }
    });
}

void CallLiveness::arm()
{
    if (m_armed)
        return;
    m_armed = true;
    m_connected = m_media && m_media->connectionState() == WebRTCManager::Connected;
    if (!m_connected)
        m_connectTimer.start();
}

void CallLiveness::disarm()
{
    m_armed = false;
    m_connected = false;
    m_connectTimer.stop();
    m_disconnectedTimer.stop();
}

void CallLiveness::vanish(const QString &reason)
{
    if (!m_armed)
        return;
    disarm();
    emit peerVanished(reason);
}
