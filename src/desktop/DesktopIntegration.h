#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantMap>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

class CallWindows;
class DesktopNotifications;
class MessageNotifier;
class QJSEngine;
class QQmlEngine;
class TrayIcon;

// The application's presence on the desktop while a member is signed in: notifications of new
// messages and incoming calls, the tray icon with the unread count, and the main window hidden to
// the tray on close. Nothing touches the bus before start(), which waits for the signed-in
// window's first frame.
//
// QML (singleton DesktopIntegration in Orvane.Desktop): openChatId (the chat the window shows),
// trayAvailable; start(window); signal openChatRequested(conversation).
class DesktopIntegration : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString openChatId READ openChatId WRITE setOpenChatId NOTIFY openChatIdChanged)
    Q_PROPERTY(bool trayAvailable READ trayAvailable NOTIFY trayAvailableChanged)

public:
    explicit DesktopIntegration(QObject *parent = nullptr);
    ~DesktopIntegration() override;

    static DesktopIntegration &shared();
    static DesktopIntegration *create(QQmlEngine *, QJSEngine *);

    QString openChatId() const { return m_openChatId; }
    void setOpenChatId(const QString &id);
    bool trayAvailable() const;

    // Begins once `window` (the main window) has drawn a frame; later calls only update the window.
    Q_INVOKABLE void start(QWindow *window);
    // The incoming calls shown by this CallWindows get a notification with Answer and Decline.
    void setCallWindows(CallWindows *windows);

    // Shows, raises and focuses the main window (a second launch, the tray, a notification).
    void raiseWindow();
    static void raise(QWindow *window);
    // What the window manager's close does while a tray shows the application (and the member
    // wants it): hides the window instead. False when the close should go ahead.
    bool hideToTray();

    MessageNotifier *messages() const { return m_messages; }
    TrayIcon *tray() const { return m_tray; }
    DesktopNotifications *notifications() const { return m_notifications; }

signals:
    void openChatIdChanged();
    void trayAvailableChanged();
    void openChatRequested(const QVariantMap &conversation);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void begin();
    void updateVisibleChat();
    void updateCallNotice();
    void playMessageSound();
    QString localized(const char *ru, const char *en) const;

    QPointer<QWindow> m_window;
    QPointer<CallWindows> m_callWindows;
    QString m_openChatId;
    bool m_started = false;
    DesktopNotifications *m_notifications = nullptr;
    MessageNotifier *m_messages = nullptr;
    TrayIcon *m_tray = nullptr;
    void *m_canberra = nullptr;
    bool m_canberraTried = false;
};
