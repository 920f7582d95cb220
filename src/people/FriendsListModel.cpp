#include "FriendsListModel.h"

#include "APIClient.h"
#include "AuthManager.h"
#include "DisplayText.h"
#include "LanguageManager.h"

#include <QLocale>

FriendsListModel::FriendsListModel(QObject *parent)
    : QAbstractListModel(parent)
    , m_api(APIClient::shared())
    , m_tokenProvider([] { return AuthManager::shared().getToken(); })
{
    connect(&LanguageManager::shared(), &LanguageManager::languageChanged, this,
            &FriendsListModel::errorMessageChanged);
}

int FriendsListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_friends.size());
}

QVariant FriendsListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Friend &f = m_friends.at(index.row());
    auto optional = [](const auto &value) -> QVariant { return value ? QVariant::fromValue(*value) : QVariant(); };
    switch (role) {
    case Qt::DisplayRole:
    case DisplayNameRole:
        return oneLineStart(f.displayName());
    case IdRole:
        return f.id;
    case NumericIdRole:
        return optional(f.numericId);
    case NameRole:
        return optional(f.name);
    case LastNameRole:
        return optional(f.lastName);
    case UsernameRole:
        return optional(f.username);
    case AvatarRole:
        return optional(f.avatar);
    case AvatarUrlRole:
        return f.avatarURL().value_or(QUrl());
    case UnreadCountRole:
        return f.unreadCount.value_or(0);
    case HasUsernameRole:
        return f.username.has_value();
    case FriendRole:
        return toVariantMap(f);
    default:
        return {};
    }
}

QHash<int, QByteArray> FriendsListModel::roleNames() const
{
    return {
        {IdRole, "friendId"},
        {NumericIdRole, "numericId"},
        {NameRole, "name"},
        {LastNameRole, "lastName"},
        {UsernameRole, "username"},
        {AvatarRole, "avatar"},
        {AvatarUrlRole, "avatarURL"},
        {DisplayNameRole, "displayName"},
        {UnreadCountRole, "unreadCount"},
        {HasUsernameRole, "hasUsername"},
        {FriendRole, "friendEntry"},
    };
}

QString FriendsListModel::errorMessage() const
{
    return m_error ? m_error->in(LanguageManager::shared().language()) : QString();
}

void FriendsListModel::setSearchText(const QString &text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    emit searchTextChanged();
    rebuild();
}

FriendsListModel::State FriendsListModel::state() const
{
    return m_state;
}

void FriendsListModel::setConversations(QList<Conversation> conversations)
{
    const bool hadConversations = hasConversations();
    m_conversations = std::move(conversations);
    if (hadConversations || hasConversations())
        emit conversationsChanged();
    rebuild();
}

QCoro::Task<> FriendsListModel::loadConversations(bool showLoading)
{
    const quint64 generation = ++m_generation;
    if (showLoading)
        setLoading(true);
    setError(std::nullopt);

    const std::optional<QString> token = m_tokenProvider ? m_tokenProvider() : std::nullopt;
    if (!token) {
        setError(LocalizedText{QStringLiteral("Токен не найден"), QStringLiteral("Token not found")});
        setLoading(false);
        co_return;
    }
    QPointer<APIClient> api = m_api;
    if (!api) {
        setError(LocalizedText::same(APIError::invalidURL().description()));
        setLoading(false);
        co_return;
    }

    QPointer<FriendsListModel> self(this);
    const APIResult<ConversationsResponse> result = co_await api->getConversations(*token);
    if (!self || generation != m_generation)
        co_return;

    if (result.ok()) {
        const ConversationsResponse &response = result.value();
        if (response.success) {
            setConversations(response.conversations.value_or(QList<Conversation>()));
        } else if (m_conversations.isEmpty()) {
            setError(response.error ? LocalizedText::same(*response.error)
                                    : LocalizedText{QStringLiteral("Ошибка загрузки"), QStringLiteral("Loading error")});
        }
    } else if (m_conversations.isEmpty()) {
        setError(LocalizedText::same(result.error().description()));
    }
    setLoading(false);
}

void FriendsListModel::cancel()
{
    ++m_generation;
    setLoading(false);
}

QVariantMap FriendsListModel::friendAt(int row) const
{
    if (row < 0 || row >= m_friends.size())
        return {};
    return toVariantMap(m_friends.at(row));
}

QList<Friend> FriendsListModel::friendsOf(const QList<Conversation> &conversations)
{
    QList<Friend> result;
    for (const Conversation &c : conversations) {
        if (c.friendshipStatus == FriendshipStatus::Friend)
            result.append(Friend::fromConversation(c));
    }
    return result;
}

bool FriendsListModel::matches(const Friend &entry, const QString &searchText)
{
    if (searchText.isEmpty())
        return true;
    const QLocale locale;
    const QString needle = locale.toLower(searchText);
    if (locale.toLower(entry.displayName()).contains(needle))
        return true;
    return entry.username && locale.toLower(*entry.username).contains(needle);
}

QList<Friend> FriendsListModel::filteredFriends(const QList<Conversation> &conversations, const QString &searchText)
{
    QList<Friend> result = friendsOf(conversations);
    if (!searchText.isEmpty())
        result.removeIf([&](const Friend &f) { return !matches(f, searchText); });
    return result;
}

QVariantMap FriendsListModel::toVariantMap(const Friend &entry)
{
    QVariantMap map{{QStringLiteral("id"), entry.id}, {QStringLiteral("unreadCount"), entry.unreadCount.value_or(0)}};
    if (entry.numericId)
        map.insert(QStringLiteral("numericId"), *entry.numericId);
    if (entry.name)
        map.insert(QStringLiteral("name"), *entry.name);
    if (entry.lastName)
        map.insert(QStringLiteral("lastName"), *entry.lastName);
    if (entry.username)
        map.insert(QStringLiteral("username"), *entry.username);
    if (entry.avatar)
        map.insert(QStringLiteral("avatar"), *entry.avatar);
    return map;
}

void FriendsListModel::rebuild()
{
    QList<Friend> next = filteredFriends(m_conversations, m_searchText);
    const int before = count();
    if (next != m_friends) {
        beginResetModel();
        m_friends = std::move(next);
        endResetModel();
    }
    if (before != count())
        emit countChanged();
    updateState();
}

void FriendsListModel::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    emit isLoadingChanged();
    updateState();
}

void FriendsListModel::setError(std::optional<LocalizedText> error)
{
    if (m_error == error)
        return;
    m_error = std::move(error);
    emit errorMessageChanged();
    updateState();
}

void FriendsListModel::updateState()
{
    State next = List;
    if (m_isLoading && m_conversations.isEmpty())
        next = Loading;
    else if (m_error && m_conversations.isEmpty())
        next = Error;
    else if (m_friends.isEmpty())
        next = Empty;
    if (next == m_state)
        return;
    m_state = next;
    emit stateChanged();
}
