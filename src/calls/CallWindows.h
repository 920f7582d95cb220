#pragma once

#include "CallManager.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <optional>

class CallAPIClient;
class QQmlEngine;
class QJSEngine;
class QQuickWindow;

// Opens and closes the call windows: the incoming window when the call manager's poll reports a
// call, the outgoing window when the member calls a friend. Plays the ringtone and ring-back.
class CallWindows : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QObject *incomingWindow READ incomingWindow NOTIFY incomingWindowChanged)
    Q_PROPERTY(QObject *outgoingWindow READ outgoingWindow NOTIFY outgoingWindowChanged)

public:
    static constexpr int ringtoneIntervalMs = 2000;
    static constexpr int ringbackIntervalMs = 3000;
    static constexpr int incomingCheckIntervalMs = 2000;

    // calls may be null until attach(): the application's call manager is made at the first sign-in.
    CallWindows(CallManager *calls, CallAPIClient *api, CallManager::TokenProvider token, QQmlEngine *engine,
                QObject *parent);
    void attach(CallManager *calls);
    ~CallWindows() override;

    // The application's instance, for the engine that shows the main window.
    static CallWindows *create(QQmlEngine *engine, QJSEngine *);
    // At start-up: the call manager is made when the member first signs in and from
    // then on incoming calls open their window.
    static void install(QQmlEngine *engine);

    // friendMap: id, name, lastName, username, avatar. Opens the outgoing window and places the call;
    // a call under way with someone else is ended first, windows included (DESIGN F17).
    Q_INVOKABLE void startCall(const QVariantMap &friendMap);
    // A screen with a call button is up: prepare the media in the background (see WebRTCManager::warmUp).
    Q_INVOKABLE void prepareForCalls();
    // The outgoing window's end: stops the ring-back, resets CallStateManager, closes the window.
    Q_INVOKABLE void endOutgoing();
    Q_INVOKABLE void showIncoming();
    Q_INVOKABLE void answerIncoming();
    Q_INVOKABLE void declineIncoming();
    Q_INVOKABLE void closeIncoming();
    Q_INVOKABLE void stopRingback() { m_ringback.stop(); }
    // The same display name as the friend record gives everywhere else.
    Q_INVOKABLE static QString displayName(const QVariantMap &friendMap);
    // As is when it starts with "http", else under the content host; empty when absent.
    Q_INVOKABLE static QUrl avatarUrl(const QString &avatar);

    QObject *incomingWindow() const;
    QObject *outgoingWindow() const;
    bool isRingtonePlaying() const { return m_ringtone.isActive(); }
    bool isRingbackPlaying() const { return m_ringback.isActive(); }
    // Sounds played so far (whether or not a sound device took them).
    int soundsPlayed() const { return m_soundsPlayed; }
    CallManager *callManager() const { return m_calls; }

    // For tests: one status check of the ringing incoming call (what the 2 s timer runs).
    QCoro::Task<> checkIncomingCallStatus();

signals:
    void incomingWindowChanged();
    void outgoingWindowChanged();

private:
    // Dark with the dark palette: the window and, on X11, the frame the window manager draws around it.
    static void applyAppearance(QQuickWindow *window);
    QQuickWindow *createWindow(const QString &type, const QVariantMap &properties);
    void playSound(const char *eventId);
    QCoro::Task<> answerFlow(QString callId);
    // No call window left: no call may keep the microphone open.
    void afterWindowClosed();

    QPointer<CallManager> m_calls;
    CallAPIClient *m_api;
    CallManager::TokenProvider m_token;
    QQmlEngine *m_engine;
    QPointer<QQuickWindow> m_incoming;
    QPointer<QQuickWindow> m_outgoing;
    std::optional<QString> m_incomingCallId;
    QString m_outgoingFriendId;
    QTimer m_ringtone;
    QTimer m_ringback;
    QTimer m_incomingCheck;
    bool m_incomingCheckInFlight = false;
    void *m_canberra = nullptr;
    bool m_canberraOpened = false;
    int m_soundsPlayed = 0;
};
