#pragma once

#include "AccountRecords.h"
#include "LocalizedText.h"
#include "MessagingRecords.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <QCoro/QCoroTask>

#include <functional>
#include <optional>

#include "APIClient.h"

// The member's friends: the conversations whose friendship status is "friend", in the server's
// order, narrowed by the search text. The page loads it once each time it is shown.
//
// QML (FriendsListModel in Orvane.People): rows with the roles below; isLoading, errorMessage
// ("" when none, in the current language), searchText, hasConversations, count, state
// (Loading, Error, Empty, List: the page body to show); load(), cancel(), friendAt(row).
class FriendsListModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(bool hasConversations READ hasConversations NOTIFY conversationsChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(State state READ state NOTIFY stateChanged)

public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        NumericIdRole,
        NameRole,
        LastNameRole,
        UsernameRole,
        AvatarRole,
        AvatarUrlRole,
        DisplayNameRole,
        UnreadCountRole,
        HasUsernameRole,
        FriendRole, // the whole entry as the map the signed-in window takes
    };
    Q_ENUM(Role)

    // The page body, first match wins: loading with nothing listed, an error with nothing listed,
    // no (matching) friends, the list.
    enum State { Loading, Error, Empty, List };
    Q_ENUM(State)

    using TokenProvider = std::function<std::optional<QString>()>;

    explicit FriendsListModel(QObject *parent = nullptr);

    // Tests point the model at their own server and token; by default APIClient::shared() and
    // AuthManager's token.
    void setApiClient(APIClient *api) { m_api = api; }
    void setTokenProvider(TokenProvider provider) { m_tokenProvider = std::move(provider); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    bool isLoading() const { return m_isLoading; }
    QString errorMessage() const;
    std::optional<LocalizedText> error() const { return m_error; }
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    bool hasConversations() const { return !m_conversations.isEmpty(); }
    int count() const { return int(m_friends.size()); }
    State state() const;

    const QList<Conversation> &conversations() const { return m_conversations; }
    const QList<Friend> &friends() const { return m_friends; }
    // Replaces the loaded conversations (a successful load does exactly this).
    void setConversations(QList<Conversation> conversations);

    // One load; showLoading shows progress while nothing is listed. Failures keep a shown list.
    QCoro::Task<> loadConversations(bool showLoading);
    Q_INVOKABLE void load() { loadConversations(true); }
    // The page went away: a running load's answer is dropped.
    Q_INVOKABLE void cancel();
    Q_INVOKABLE QVariantMap friendAt(int row) const;

    // The derivation, in the server's order.
    static QList<Friend> friendsOf(const QList<Conversation> &conversations);
    // Display name or user name contains the text, ignoring case by the current locale's rules.
    // The text is not trimmed; an empty text matches everyone.
    static bool matches(const Friend &entry, const QString &searchText);
    static QList<Friend> filteredFriends(const QList<Conversation> &conversations, const QString &searchText);
    // id, numericId, name, lastName, username, avatar (each only when present), unreadCount.
    static QVariantMap toVariantMap(const Friend &entry);

signals:
    void isLoadingChanged();
    void errorMessageChanged();
    void searchTextChanged();
    void conversationsChanged();
    void countChanged();
    void stateChanged();

private:
    void rebuild();
    void setLoading(bool loading);
    void setError(std::optional<LocalizedText> error);
    void updateState();

    QPointer<APIClient> m_api;
    TokenProvider m_tokenProvider;
    QList<Conversation> m_conversations;
    QList<Friend> m_friends;
    QString m_searchText;
    bool m_isLoading = false;
    std::optional<LocalizedText> m_error;
    State m_state = Empty;
    // Bumped by every load and by cancel(): only the newest load may write its answer.
    quint64 m_generation = 0;
};
