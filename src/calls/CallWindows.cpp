#include "CallWindows.h"

#include "WebRTCManager.h"

#include "AccountRecords.h"
#include "AppColors.h"
#include "AudioSettingsManager.h"
#include "AuthManager.h"
#include "CallAPIClient.h"
#include "CallStateManager.h"
#include "ServerConfig.h"

#include <QGuiApplication>
#include <QJSEngine>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>

#include <canberra.h>

#ifdef ORVANE_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#include <cstdlib>
#include <cstring>
#define ORVANE_X11_FRAMES 1
#endif
#endif

namespace {

QPointer<CallWindows> &applicationInstance()
{
    static QPointer<CallWindows> instance;
    return instance;
}

#ifdef ORVANE_X11_FRAMES
xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return result;
}

// The hint GTK gives for its own dark windows; the window managers that draw frames read it.
void setFrameVariant(QWindow *window, bool dark)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const xcb_atom_t variant = atom(connection, "_GTK_THEME_VARIANT");
    const xcb_atom_t utf8 = atom(connection, "UTF8_STRING");
    if (variant == XCB_ATOM_NONE || utf8 == XCB_ATOM_NONE)
        return;
    const QByteArray value = dark ? QByteArrayLiteral("dark") : QByteArrayLiteral("light");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), variant, utf8, 8,
                        uint32_t(value.size()), value.constData());
    xcb_flush(connection);
}
#endif

} // namespace

CallWindows::CallWindows(CallManager *calls, CallAPIClient *api, CallManager::TokenProvider token,
                         QQmlEngine *engine, QObject *parent)
    : QObject(parent)
    , m_api(api)
    , m_token(std::move(token))
    , m_engine(engine)
{
    m_ringtone.setInterval(ringtoneIntervalMs);
    m_ringback.setInterval(ringbackIntervalMs);
    m_incomingCheck.setInterval(incomingCheckIntervalMs);
    connect(&m_ringtone, &QTimer::timeout, this, [this] { playSound("phone-incoming-call"); });
    connect(&m_ringback, &QTimer::timeout, this, [this] { playSound("phone-outgoing-calling"); });
    connect(&m_incomingCheck, &QTimer::timeout, this, [this] { checkIncomingCallStatus(); });
    attach(calls);
    // An open call window follows a theme change like the main window does.
    connect(&AppColors::shared(), &AppColors::changed, this, [this] {
        applyAppearance(m_incoming);
        applyAppearance(m_outgoing);
    });
}

void CallWindows::attach(CallManager *calls)
{
    if (!calls || m_calls == calls)
        return;
    if (m_calls)
        disconnect(m_calls, nullptr, this, nullptr);
    m_calls = calls;
    connect(m_calls, &CallManager::incomingCallReceived, this, &CallWindows::showIncoming);
}

CallWindows::~CallWindows()
{
    if (m_outgoing) {
        // Its call is not under way any more as far as the other screens can know.
        CallStateManager::shared()->setActiveCallFriendId({});
        CallStateManager::shared()->setCallState(CallStateManager::None);
    }
    if (m_incoming)
        delete m_incoming.data();
    if (m_outgoing)
        delete m_outgoing.data();
    if (m_canberra)
        ca_context_destroy(static_cast<ca_context *>(m_canberra));
}

CallWindows *CallWindows::create(QQmlEngine *engine, QJSEngine *)
{
    QPointer<CallWindows> &instance = applicationInstance();
    if (!instance) {
        instance = new CallWindows(nullptr, CallAPIClient::shared(), [] { return AuthManager::shared().getToken(); },
                                   engine, engine);
    }
    QJSEngine::setObjectOwnership(instance, QJSEngine::CppOwnership);
    return instance;
}

void CallWindows::install(QQmlEngine *engine)
{
    create(engine, engine);
    // The call manager (and with it the media session) comes to life at the first
    // sign-in, when the unread loop starts the incoming-call poll, not on the login screen.
    AuthManager::shared().setCallPollingProvider([]() -> IncomingCallPolling * {
        CallManager *calls = CallManager::shared();
        if (CallWindows *windows = applicationInstance())
            windows->attach(calls);
        return calls;
    });
}

QObject *CallWindows::incomingWindow() const
{
    return m_incoming.data();
}

QObject *CallWindows::outgoingWindow() const
{
    return m_outgoing.data();
}

QString CallWindows::displayName(const QVariantMap &friendMap)
{
    auto field = [&](const char *key) -> std::optional<QString> {
        const QVariant value = friendMap.value(QLatin1String(key));
        if (!value.isValid() || value.isNull())
            return std::nullopt;
        return value.toString();
    };
    Friend record;
    record.name = field("name");
    record.lastName = field("lastName");
    record.username = field("username");
    return record.displayName();
}

QUrl CallWindows::avatarUrl(const QString &avatar)
{
    if (avatar.isEmpty())
        return {};
    if (avatar.startsWith(QStringLiteral("http")))
        return resolveAvatarURL(avatar).value_or(QUrl()); // the content host's only
    const QString content = ServerConfig::current().contentURL;
    return content.isEmpty() ? QUrl() : QUrl(content + (avatar.startsWith(QLatin1Char('/')) ? avatar.mid(1) : avatar));
}

void CallWindows::applyAppearance(QQuickWindow *window)
{
    if (!window)
        return;
    const bool dark = AppColors::shared().current().isDark;
    window->setProperty("darkAppearance", dark);
#ifdef ORVANE_X11_FRAMES
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        setFrameVariant(window, dark);
#endif
}

QQuickWindow *CallWindows::createWindow(const QString &type, const QVariantMap &properties)
{
    if (!m_engine)
        return nullptr;
    QQmlComponent component(m_engine, QUrl(QStringLiteral("qrc:/qt/qml/Orvane/Calls/%1.qml").arg(type)));
    QVariantMap initial = properties;
    initial.insert(QStringLiteral("controller"), QVariant::fromValue<QObject *>(this));
    initial.insert(QStringLiteral("calls"), QVariant::fromValue<QObject *>(m_calls.data()));
    QObject *object = component.createWithInitialProperties(initial);
    auto *window = qobject_cast<QQuickWindow *>(object);
    if (!window) {
        qWarning("%s", qPrintable(component.errorString()));
        delete object;
        return nullptr;
    }
    QJSEngine::setObjectOwnership(window, QJSEngine::CppOwnership);
    applyAppearance(window);
    window->show();
    window->raise();
    window->requestActivate();
    return window;
}

void CallWindows::playSound(const char *eventId)
{
    ++m_soundsPlayed;
    // Opened with the first sound, so that a start without calls does not load the sound library.
    if (!m_canberraOpened) {
        m_canberraOpened = true;
        ca_context *context = nullptr;
        // No sound server is no reason to refuse calls: the windows simply stay silent.
        if (ca_context_create(&context) == CA_SUCCESS) {
            ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "TheOrvane Teams", nullptr);
            m_canberra = context;
        }
    }
    if (m_canberra)
        MediaConfig::playSound(m_canberra, AudioSettingsManager::shared()->speakerDevice(), eventId);
}

// Outgoing

void CallWindows::prepareForCalls()
{
    WebRTCManager::mediaReady();
}

void CallWindows::startCall(const QVariantMap &friendMap)
{
    const QString friendId = friendMap.value(QStringLiteral("id")).toString();
    if (friendId.isEmpty() || !m_calls)
        return;
    CallStateManager *state = CallStateManager::shared();
    if (state->isCallingFriend(friendId)) {
        // That friend's call is already under way: show its window, never place a second call.
        if (m_outgoing) {
            m_outgoing->raise();
            m_outgoing->requestActivate();
        }
        return;
    }
    // One call at a time: the one under way ends as its End button would end it (its windows
    // close, its end is posted, its pipeline goes), and a call ringing here is declined.
    if (m_incomingCallId && m_incoming && !m_incoming->property("answered").toBool())
        m_calls->decline(*m_incomingCallId);
    closeIncoming();
    endOutgoing();
    if (m_calls->isCallInProgress())
        m_calls->hangUp();
    state->setActiveCallFriendId(friendId);
    state->setCallState(CallStateManager::Connecting);
    m_outgoingFriendId = friendId;
    m_outgoing = createWindow(QStringLiteral("OutgoingCallWindow"), {{QStringLiteral("friendData"), friendMap}});
    emit outgoingWindowChanged();
    playSound("phone-outgoing-calling");
    m_ringback.start();
}

void CallWindows::endOutgoing()
{
    m_ringback.stop();
    CallStateManager::shared()->setActiveCallFriendId({});
    CallStateManager::shared()->setCallState(CallStateManager::None);
    m_outgoingFriendId.clear();
    if (QQuickWindow *window = m_outgoing.data()) {
        m_outgoing.clear();
        window->setProperty("closedByController", true);
        window->close();
        window->deleteLater();
        emit outgoingWindowChanged();
        afterWindowClosed();
    }
}

void CallWindows::afterWindowClosed()
{
    if (!m_incoming && !m_outgoing && m_calls && m_calls->isCallInProgress())
        m_calls->hangUp();
}

// Incoming

void CallWindows::showIncoming()
{
    if (m_incoming || !m_calls || !m_calls->incomingCall())
        return;
    m_incomingCallId = m_calls->incomingCall()->id;
    m_incoming = createWindow(QStringLiteral("IncomingCallWindow"),
                              {{QStringLiteral("call"), m_calls->incomingCallMap()}});
    if (!m_incoming) {
        m_incomingCallId.reset();
        return;
    }
    emit incomingWindowChanged();
    playSound("phone-incoming-call");
    m_ringtone.start();
    m_incomingCheck.start();
}

void CallWindows::answerIncoming()
{
    m_ringtone.stop();
    m_incomingCheck.stop();
    if (!m_incomingCallId || !m_calls)
        return;
    // The call starts with the media the window shows.
    if (m_incoming) {
        m_calls->setMuted(m_incoming->property("isMuted").toBool());
        m_calls->setSpeakerEnabled(m_incoming->property("isSpeakerOn").toBool());
    }
    answerFlow(*m_incomingCallId);
}

QCoro::Task<> CallWindows::answerFlow(QString callId)
{
    QPointer<CallWindows> self(this);
    bool answered = false;
    if (m_calls)
        answered = co_await m_calls->answerCall(callId);
    if (!self)
        co_return;
    if (answered && m_incoming)
        m_incoming->setProperty("answered", true);
    else if (answered && m_calls)
        m_calls->hangUp(); // the window went while the answer was out: no call without a window
    else
        closeIncoming();
}

void CallWindows::declineIncoming()
{
    m_ringtone.stop();
    m_incomingCheck.stop();
    // The window goes at once; the decline (and its retries) follow in the background.
    if (m_incomingCallId && m_calls)
        m_calls->decline(*m_incomingCallId);
    closeIncoming();
}

void CallWindows::closeIncoming()
{
    m_ringtone.stop();
    m_incomingCheck.stop();
    m_incomingCallId.reset();
    if (QQuickWindow *window = m_incoming.data()) {
        m_incoming.clear();
        window->setProperty("closedByController", true);
        window->close();
        window->deleteLater();
        emit incomingWindowChanged();
        afterWindowClosed();
    }
}

QCoro::Task<> CallWindows::checkIncomingCallStatus()
{
    const auto token = m_token();
    if (!token || !m_incomingCallId || !m_incoming || m_incoming->property("answered").toBool()
        || m_incomingCheckInFlight)
        co_return;
    const QString callId = *m_incomingCallId;
    m_incomingCheckInFlight = true;
    QPointer<CallWindows> self(this);
    auto result = co_await m_api->getCallStatus(*token, callId);
    if (!self)
        co_return;
    m_incomingCheckInFlight = false;
    if (!result || !result.value().call || m_incomingCallId != callId || !m_incoming
        || m_incoming->property("answered").toBool())
        co_return;
    const QString status = result.value().call->status;
    // The caller hung up, or the ring time ran out: stop ringing for a call nobody is making.
    if (status == QStringLiteral("ended") || status == QStringLiteral("missed")
        || status == QStringLiteral("declined"))
        closeIncoming();
}
