#pragma once

#include "MessagingRecords.h"
#include "Poller.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <optional>

class APIClient;

// The member's conversations for the messages page: loaded when the page is shown, refreshed every 5 s
// while it is, filtered locally by the search text. Rows follow the server's order and are updated by
// conversation id, so a refresh that changes one row touches only that row. A refresh never puts an
// error over a list on screen.
//
// QML: active, searchText, language, isLoading, errorMessage, state (Loading, Error, Empty, List),
// count (rows shown), totalCount; reload() (the Retry button), conversationAt(row) (the map handed to the
// host: id, unreadCount, friendshipStatus, participant {id, numericId, name, lastName, username, avatar},
// lastMessage {content, senderId, createdAt, isMine}, lastMessageAt).
class ConversationListModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool active READ isActive WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int totalCount READ totalCount NOTIFY totalCountChanged)

public:
    enum class State { Loading, Error, Empty, List };
    Q_ENUM(State)

    enum Role {
        ConversationIdRole = Qt::UserRole + 1,
        ParticipantIdRole,
        DisplayNameRole,
        AvatarUrlRole,
        TimeRole,
        LastMessageRole, // "" when there is none
        HasLastMessageRole,
        UnreadCountRole,
        FriendshipStatusRole,
        DraftRole, // the unsent draft's preview; "" when there is none
    };
    Q_ENUM(Role)

    static constexpr std::chrono::milliseconds refreshInterval{5000};

    explicit ConversationListModel(QObject *parent = nullptr);
    ~ConversationListModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    bool isActive() const { return m_active; }
    void setActive(bool active);
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    QString language() const { return m_language; }
    void setLanguage(const QString &language);
    bool isLoading() const { return m_isLoading; }
    QString errorMessage() const { return m_errorMessage; }
    State state() const;
    int count() const { return int(m_rows.size()); }
    int totalCount() const { return int(m_conversations.size()); }
    const QList<Conversation> &conversations() const { return m_conversations; }

    QCoro::Task<> loadConversations(bool showLoading);
    Q_INVOKABLE void reload() { loadConversations(true); }
    Q_INVOKABLE QVariantMap conversationAt(int row) const;
    void startAutoRefresh() { m_poller.restart(); }
    void stopAutoRefresh() { m_poller.stop(); }

    // The search rule: display name, else username, else the last message's text.
    static bool matches(const Conversation &conversation, const QString &searchText);
    static QVariantMap toVariant(const Conversation &conversation);

    void setApiForTesting(APIClient *api) { m_api = api; }
    void setTokenProviderForTesting(std::function<std::optional<QString>()> provider)
    {
        m_tokenProvider = std::move(provider);
    }

signals:
    void activeChanged();
    void searchTextChanged();
    void languageChanged();
    void isLoadingChanged();
    void errorMessageChanged();
    void stateChanged();
    void countChanged();
    void totalCountChanged();
    // A load ended, whatever its outcome.
    void loadFinished();

private:
    void setConversations(const QList<Conversation> &conversations);
    void updateRows();
    void onDraftChanged(const QString &peerId);
    void setLoading(bool value);
    void setErrorMessage(const QString &text);
    QString localized(const char *ru, const char *en) const;

    APIClient *m_api = nullptr;
    std::function<std::optional<QString>()> m_tokenProvider;
    QList<Conversation> m_conversations; // the server's list
    QList<Conversation> m_rows;          // the rows shown: the list filtered by the search text
    bool m_active = false;
    QString m_searchText;
    QString m_language = QStringLiteral("ru");
    bool m_isLoading = false;
    QString m_errorMessage;

    Poller m_poller{refreshInterval, [this](bool showLoading) { return loadConversations(showLoading); }};
};
