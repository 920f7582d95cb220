#include "DesktopIntegration.h"

#include "APIClient.h"
#include "AuthManager.h"
#include "CallWindows.h"
#include "DesktopNotifications.h"
#include "LanguageManager.h"
#include "MessageNotifier.h"
#include "NotificationPreferences.h"
#include "TrayIcon.h"

#include <QCloseEvent>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QJSEngine>
#include <QQmlEngine>
#include <QQuickWindow>

#include <QCoro/QCoroTask>

#include <canberra.h>
#include <dlfcn.h>

namespace {

constexpr auto callKey = "call";

// libcanberra is opened on the first message sound, so a run that never plays one never maps it.
struct Canberra {
    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_play) play = nullptr;
};

const Canberra &canberra()
{
    static const Canberra functions = [] {
        Canberra c;
        if (void *library = dlopen("libcanberra.so.0", RTLD_LAZY | RTLD_LOCAL)) {
            c.create = reinterpret_cast<decltype(c.create)>(dlsym(library, "ca_context_create"));
            c.play = reinterpret_cast<decltype(c.play)>(dlsym(library, "ca_context_play"));
        }
        return c;
    }();
    return functions;
}

QCoro::Task<> fetchConversations(QPointer<MessageNotifier> notifier)
{
    const auto token = AuthManager::shared().getToken();
    if (token) {
        // The answer reaches the notifier through APIClient::conversationsFetched.
        const auto result = co_await APIClient::shared()->getConversations(*token);
        if (result.ok())
            co_return;
    }
    if (notifier)
        notifier->conversationsFetched({});
}

} // namespace

DesktopIntegration::DesktopIntegration(QObject *parent)
    : QObject(parent)
{
}

DesktopIntegration::~DesktopIntegration() = default;

DesktopIntegration &DesktopIntegration::shared()
{
    static DesktopIntegration *instance = new DesktopIntegration;
    return *instance;
}

DesktopIntegration *DesktopIntegration::create(QQmlEngine *, QJSEngine *)
{
    QJSEngine::setObjectOwnership(&shared(), QJSEngine::CppOwnership);
    return &shared();
}

QString DesktopIntegration::localized(const char *ru, const char *en) const
{
    return QString::fromUtf8(LanguageManager::shared().isEnglish() ? en : ru);
}

void DesktopIntegration::setOpenChatId(const QString &id)
{
    if (m_openChatId == id)
        return;
    m_openChatId = id;
    emit openChatIdChanged();
    updateVisibleChat();
}

bool DesktopIntegration::trayAvailable() const
{
    return m_tray && m_tray->hostAvailable();
}

void DesktopIntegration::start(QWindow *window)
{
    if (window && window != m_window) {
        if (m_window)
            m_window->removeEventFilter(this);
        m_window = window;
        window->installEventFilter(this);
    }
    if (m_started)
        return;
    m_started = true;
    // The bus, the tray and the notification service can all wait until the window is on screen.
    if (auto *quick = qobject_cast<QQuickWindow *>(window))
        connect(quick, &QQuickWindow::frameSwapped, this, &DesktopIntegration::begin, Qt::SingleShotConnection);
    else
        begin();
}

void DesktopIntegration::begin()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_notifications = new DesktopNotifications(bus, this);
    m_messages = new MessageNotifier(m_notifications, this);
    m_tray = new TrayIcon(bus, this);

    auto &language = LanguageManager::shared();
    auto applyLanguage = [this, &language] {
        m_messages->setLanguage(language.languageCode());
        m_tray->setLanguage(language.languageCode());
        updateCallNotice();
    };
    applyLanguage();
    connect(&language, &LanguageManager::languageChanged, this, applyLanguage);

    QPointer<MessageNotifier> messages = m_messages;
    m_messages->setConversationFetch([messages] { fetchConversations(messages); });
    connect(APIClient::shared(), &APIClient::unreadFetched, m_messages, &MessageNotifier::unreadFetched);
    connect(APIClient::shared(), &APIClient::conversationsFetched, m_messages, &MessageNotifier::conversationsFetched);
    connect(m_messages, &MessageNotifier::openChatRequested, this, [this](const QVariantMap &conversation) {
        raiseWindow();
        emit openChatRequested(conversation);
    });
    connect(m_messages, &MessageNotifier::messageAnnounced, this, &DesktopIntegration::playMessageSound);

    auto &auth = AuthManager::shared();
    connect(&auth, &AuthManager::isAuthenticatedChanged, this, [this, &auth] {
        if (!auth.isAuthenticated())
            m_messages->reset();
    });
    connect(&auth, &AuthManager::unreadCountChanged, this, [this, &auth] { m_tray->setUnreadCount(auth.unreadCount()); });
    m_tray->setUnreadCount(auth.unreadCount());
    connect(m_tray, &TrayIcon::activated, this, &DesktopIntegration::raiseWindow);
    connect(m_tray, &TrayIcon::quitRequested, qApp, &QCoreApplication::quit);
    connect(m_tray, &TrayIcon::hostAvailableChanged, this, &DesktopIntegration::trayAvailableChanged);
    m_tray->start();

    connect(qApp, &QGuiApplication::applicationStateChanged, this, &DesktopIntegration::updateVisibleChat);
    updateVisibleChat();

    connect(m_notifications, &DesktopNotifications::actionInvoked, this, [this](const QString &key, const QString &action) {
        if (key != QLatin1String(callKey) || !m_callWindows)
            return;
        m_notifications->withdraw(key);
        // What the incoming window's buttons do.
        if (action == u"answer")
            m_callWindows->answerIncoming();
        else if (action == u"decline")
            m_callWindows->declineIncoming();
        else
            m_callWindows->showIncoming();
    });
    if (!m_callWindows && m_window) {
        if (QQmlEngine *engine = qmlEngine(m_window))
            setCallWindows(CallWindows::create(engine, engine));
    }
    updateCallNotice();
}

void DesktopIntegration::setCallWindows(CallWindows *windows)
{
    if (m_callWindows == windows)
        return;
    if (m_callWindows) {
        disconnect(m_callWindows, nullptr, this, nullptr);
        if (m_callWindows->callManager())
            disconnect(m_callWindows->callManager(), nullptr, this, nullptr);
    }
    m_callWindows = windows;
    if (windows) {
        connect(windows, &CallWindows::incomingWindowChanged, this, &DesktopIntegration::updateCallNotice);
        if (CallManager *calls = windows->callManager())
            connect(calls, &CallManager::callStatusChanged, this, &DesktopIntegration::updateCallNotice);
    }
    updateCallNotice();
}

void DesktopIntegration::updateCallNotice()
{
    if (!m_notifications)
        return;
    const QString key = QLatin1String(callKey);
    CallManager *calls = m_callWindows ? m_callWindows->callManager() : nullptr;
    // Ringing: the incoming window is up and the call not yet being answered.
    if (!m_callWindows || !m_callWindows->incomingWindow() || !calls || !calls->incomingCall()
        || calls->status() != CallManagerStatus::Idle || !NotificationPreferences::shared().enabled()) {
        m_notifications->withdraw(key);
        return;
    }
    const QVariantMap call = calls->incomingCallMap();
    const QString name = call.value(QStringLiteral("callerName")).toString().trimmed();
    DesktopNotifications::Notice notice;
    notice.summary = name.isEmpty() ? call.value(QStringLiteral("callerUsername")).toString() : name;
    notice.body = localized("Входящий звонок", "Incoming call");
    notice.actions = QStringList{QStringLiteral("answer"), localized("Ответить", "Answer"), QStringLiteral("decline"),
                                 localized("Отклонить", "Decline")};
    notice.urgent = true;
    notice.category = QString::fromLatin1("call.incoming"); // a freedesktop category, not an icon
    m_notifications->show(key, notice);
}

void DesktopIntegration::updateVisibleChat()
{
    if (!m_messages)
        return;
    const bool active = QGuiApplication::applicationState() == Qt::ApplicationActive && m_window
        && m_window->isVisible();
    m_messages->setVisibleChat(active ? m_openChatId : QString());
}

void DesktopIntegration::playMessageSound()
{
    if (!NotificationPreferences::shared().sound())
        return;
    if (!m_canberraTried) {
        m_canberraTried = true;
        ca_context *context = nullptr;
        // No sound server is no reason to lose the notification: it simply stays silent.
        if (canberra().create && canberra().create(&context) == CA_SUCCESS)
            m_canberra = context;
    }
    if (m_canberra)
        canberra().play(static_cast<ca_context *>(m_canberra), 1, CA_PROP_EVENT_ID, "message-new-instant",
                        CA_PROP_EVENT_DESCRIPTION, "New message", nullptr);
}

void DesktopIntegration::raise(QWindow *window)
{
    if (!window)
        return;
    QGuiApplication::setQuitOnLastWindowClosed(true);
    window->setWindowStates(window->windowStates() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->requestActivate();
}

void DesktopIntegration::raiseWindow()
{
    raise(m_window);
}

bool DesktopIntegration::hideToTray()
{
    if (!m_window || !trayAvailable() || !NotificationPreferences::shared().minimizeToTray())
        return false;
    // Closing a call window while this one is hidden must not end the run.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    m_window->hide();
    return true;
}

bool DesktopIntegration::eventFilter(QObject *watched, QEvent *event)
{
    // Only the window manager's close (spontaneous) goes to the tray; the close that quitting sends
    // to every window must go through.
    if (watched == m_window && event->type() == QEvent::Close && event->spontaneous() && hideToTray()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
