#pragma once

#include "AccountRecords.h"
#include "Poller.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <optional>

class APIClient;
class IncomingCallPolling;
class QJSEngine;
class QQmlEngine;
class TokenStore;

// The sign-in state of the application: the stored session token and its check at start, sign-in,
// sign-out, and the unread count polled every 5 s while a member is signed in (shown in the sidebar
// and on the dock badge). The unread loop also switches the call manager's incoming-call poll.
//
// QML (singleton AuthManager in Orvane.Session): isAuthenticated, currentUser (a map with id,
// numericId, email, name, username, avatar, avatarURL, emailVerified; null when signed out),
// isLoading, isCheckingToken, error ("" when absent), unreadCount; login(email, password),
// logout(), checkUnreadMessages().
class AuthManager : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY isAuthenticatedChanged)
    Q_PROPERTY(QVariant currentUser READ currentUserVariant NOTIFY currentUserChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(bool isCheckingToken READ isCheckingToken NOTIFY isCheckingTokenChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(qint64 unreadCount READ unreadCount NOTIFY unreadCountChanged)

public:
    static constexpr std::chrono::milliseconds unreadInterval{5000};

    // Starts reading the stored token at once; a token found there is checked with the server.
    // No default arguments: QML would otherwise build its own instance instead of calling create().
    AuthManager(APIClient *api, QObject *parent);
    ~AuthManager() override;

    // The instance of the run, on APIClient::shared().
    static AuthManager &shared();
    static AuthManager *create(QQmlEngine *, QJSEngine *);

    bool isAuthenticated() const { return m_isAuthenticated; }
    const std::optional<User> &currentUser() const { return m_currentUser; }
    QVariant currentUserVariant() const;
    bool isLoading() const { return m_isLoading; }
    bool isCheckingToken() const { return m_isCheckingToken; }
    QString error() const { return m_error; }
    qint64 unreadCount() const { return m_unreadCount; }

    // The session token, or nothing; cheap (see TokenStore), so call it right before each request.
    std::optional<QString> getToken() const;

    // Signs in; true when the member is now signed in, otherwise the reason is in error().
    QCoro::Task<bool> loginAsync(QString email, QString password);
    // The same for QML, which watches the properties instead of a result.
    Q_INVOKABLE void login(const QString &email, const QString &password);
    // Signs out at once: stops the loops, removes the badge and the stored token. No request is sent.
    Q_INVOKABLE void logout();

    Q_INVOKABLE void startUnreadChecker();
    Q_INVOKABLE void stopUnreadChecker();
    bool isUnreadCheckerRunning() const { return m_loopRunning; }

    // One unread refresh; screens await it after loading messages. Failures change nothing.
    QCoro::Task<> checkUnreadMessages();
    Q_INVOKABLE void refreshUnreadCount();

    // The calls subsystem registers its poll here. The provider is first asked when the unread loop
    // starts, so the call manager comes to life at the first sign-in, not at launch.
    void setCallPollingProvider(std::function<IncomingCallPolling *()> provider);

    TokenStore &tokenStore() const { return *m_store; }

    // Test hook: the pause between two unread steps.
    void setUnreadIntervalForTesting(std::chrono::milliseconds interval) { m_unreadPoll.setInterval(interval); }

signals:
    void isAuthenticatedChanged();
    void currentUserChanged();
    void isLoadingChanged();
    void isCheckingTokenChanged();
    void errorChanged();
    void unreadCountChanged();
    // A step of the unread loop or a refresh has finished, whatever its outcome.
    void unreadStepFinished();

private:
    QCoro::Task<> checkSavedToken();
    QCoro::Task<> unreadStep(quint64 generation);
    void setBadge(qint64 count);

    void setAuthenticated(bool value);
    void setCurrentUser(std::optional<User> user);
    void setLoading(bool value);
    void setCheckingToken(bool value);
    void setError(const QString &value);
    void setUnreadCount(qint64 value);

    APIClient *m_api;
    TokenStore *m_store;
    bool m_isAuthenticated = false;
    std::optional<User> m_currentUser;
    bool m_isLoading = false;
    bool m_isCheckingToken = true;
    QString m_error;
    qint64 m_unreadCount = 0;

    // Bumped at every sign-in and sign-out: an unread answer of an earlier session is dropped.
    quint64 m_sessionGeneration = 0;
    bool m_loopRunning = false;
    // Backs off like the screens' polls while the server cannot be reached.
    Poller m_unreadPoll{unreadInterval, [this](bool) { return unreadStep(m_sessionGeneration); }};
    qint64 m_badgeShown = -1; // -1: never sent

    std::function<IncomingCallPolling *()> m_callPollingProvider;
    IncomingCallPolling *m_callPolling = nullptr;
};
