#include "AuthManager.h"

#include "APIClient.h"
#include "IncomingCallPolling.h"
#include "LauncherBadge.h"
#include "TokenStore.h"

#include <QGuiApplication>
#include <QJSEngine>
#include <QVariantMap>

AuthManager::AuthManager(APIClient *api, QObject *parent)
    : QObject(parent)
    , m_api(api)
    , m_store(new TokenStore(this))
{
    if (TokenStore::mayHaveStoredToken()) {
        connect(m_store, &TokenStore::loaded, this, [this] {
            if (getToken())
                checkSavedToken();
            else
                setCheckingToken(false);
        }, Qt::SingleShotConnection);
        m_store->load();
    } else {
        // Known to hold no token: the login screen can show on the very first frame.
        m_isCheckingToken = false;
    }

    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                refreshUnreadCount();
        });
    }
}

AuthManager::~AuthManager()
{
    stopUnreadChecker();
}

AuthManager &AuthManager::shared()
{
    static AuthManager *instance = new AuthManager(APIClient::shared(), nullptr);
    return *instance;
}

AuthManager *AuthManager::create(QQmlEngine *, QJSEngine *)
{
    QJSEngine::setObjectOwnership(&shared(), QJSEngine::CppOwnership);
    return &shared();
}

QVariant AuthManager::currentUserVariant() const
{
    if (!m_currentUser)
        return {};
    const User &u = *m_currentUser;
    auto opt = [](const std::optional<QString> &v) { return v ? QVariant(*v) : QVariant(); };
    QVariantMap map;
    map.insert(QStringLiteral("id"), u.id);
    map.insert(QStringLiteral("numericId"), u.numericId ? QVariant(*u.numericId) : QVariant());
    map.insert(QStringLiteral("email"), u.email);
    map.insert(QStringLiteral("name"), opt(u.name));
    map.insert(QStringLiteral("username"), opt(u.username));
    map.insert(QStringLiteral("avatar"), opt(u.avatar));
    const auto url = u.avatarURL();
    map.insert(QStringLiteral("avatarURL"), url ? QVariant(url->toString()) : QVariant());
    map.insert(QStringLiteral("emailVerified"), u.emailVerified);
    return map;
}

std::optional<QString> AuthManager::getToken() const
{
    auto token = m_store->token();
    if (token && token->isEmpty())
        return std::nullopt;
    return token;
}

QCoro::Task<> AuthManager::checkSavedToken()
{
    QPointer<AuthManager> self(this);
    const auto token = getToken();
    if (!token) {
        setCheckingToken(false);
        co_return;
    }
    const auto result = co_await m_api->checkToken(*token);
    if (!self)
        co_return;
    if (result.ok() && result.value().success && result.value().user) {
        ++m_sessionGeneration;
        setCurrentUser(result.value().user);
        setAuthenticated(true);
        startUnreadChecker();
    } else {
        // Any failure, a missing connection included, signs the member out.
        m_store->remove();
    }
    setCheckingToken(false);
}

QCoro::Task<bool> AuthManager::loginAsync(QString email, QString password)
{
    QPointer<AuthManager> self(this);
    setLoading(true);
    setError({});
    const auto result = co_await m_api->login(email, password);
    if (!self)
        co_return false;
    if (!result.ok()) {
        setError(result.error().description());
        setLoading(false);
        co_return false;
    }
    const AuthResponse &answer = result.value();
    // An empty token could never authorise a request: treat it like a missing one.
    if (answer.token && !answer.token->isEmpty() && answer.user) {
        m_store->save(*answer.token);
        ++m_sessionGeneration;
        setCurrentUser(answer.user);
        setAuthenticated(true);
        startUnreadChecker();
        setLoading(false);
        co_return true;
    }
    setError(answer.error.value_or(QStringLiteral("Login failed")));
    setLoading(false);
    co_return false;
}

void AuthManager::login(const QString &email, const QString &password)
{
    loginAsync(email, password);
}

void AuthManager::logout()
{
    stopUnreadChecker();
    setBadge(0);
    m_store->remove();
    ++m_sessionGeneration;
    setCurrentUser(std::nullopt);
    setAuthenticated(false);
    setError({});
}

void AuthManager::startUnreadChecker()
{
    stopUnreadChecker();
    m_loopRunning = true;
    m_unreadPoll.setActive(true);
    if (!m_callPolling && m_callPollingProvider)
        m_callPolling = m_callPollingProvider();
    if (m_callPolling)
        m_callPolling->startPolling();
}

void AuthManager::stopUnreadChecker()
{
    m_loopRunning = false;
    m_unreadPoll.stop();
    if (m_callPolling)
        m_callPolling->stopPolling();
}

QCoro::Task<> AuthManager::checkUnreadMessages()
{
    return unreadStep(m_sessionGeneration);
}

void AuthManager::refreshUnreadCount()
{
    checkUnreadMessages();
}

QCoro::Task<> AuthManager::unreadStep(quint64 generation)
{
    QPointer<AuthManager> self(this);
    const auto token = getToken();
    if (!token || !m_isAuthenticated) {
        emit unreadStepFinished();
        co_return;
    }
    const auto result = co_await m_api->getUnreadCount(*token);
    if (!self)
        co_return;
    // An answer that arrives after sign-out (or for an earlier session) is dropped.
    if (result.ok() && m_isAuthenticated && generation == m_sessionGeneration) {
        setUnreadCount(result.value());
        setBadge(result.value());
    }
    emit unreadStepFinished();
}

void AuthManager::setBadge(qint64 count)
{
    const qint64 shown = count > 0 ? count : 0;
    if (shown == m_badgeShown)
        return;
    m_badgeShown = shown;
    LauncherBadge::setCount(shown);
}

void AuthManager::setCallPollingProvider(std::function<IncomingCallPolling *()> provider)
{
    m_callPollingProvider = std::move(provider);
    m_callPolling = nullptr;
    if (m_loopRunning && m_callPollingProvider) {
        m_callPolling = m_callPollingProvider();
        if (m_callPolling)
            m_callPolling->startPolling();
    }
}

void AuthManager::setAuthenticated(bool value)
{
    if (m_isAuthenticated == value)
        return;
    m_isAuthenticated = value;
    emit isAuthenticatedChanged();
}

void AuthManager::setCurrentUser(std::optional<User> user)
{
    if (m_currentUser == user)
        return;
    m_currentUser = std::move(user);
    emit currentUserChanged();
}

void AuthManager::setLoading(bool value)
{
    if (m_isLoading == value)
        return;
    m_isLoading = value;
    emit isLoadingChanged();
}

void AuthManager::setCheckingToken(bool value)
{
    if (m_isCheckingToken == value)
        return;
    m_isCheckingToken = value;
    emit isCheckingTokenChanged();
}

void AuthManager::setError(const QString &value)
{
    if (m_error == value)
        return;
    m_error = value;
    emit errorChanged();
}

void AuthManager::setUnreadCount(qint64 value)
{
    if (m_unreadCount == value)
        return;
    m_unreadCount = value;
    emit unreadCountChanged();
}
