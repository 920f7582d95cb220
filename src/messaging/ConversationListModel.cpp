#include "ConversationListModel.h"

#include "APIClient.h"
#include "AuthManager.h"
#include "DisplayText.h"
#include "DraftStore.h"
#include "KeyedListUpdate.h"
#include "TextRules.h"

ConversationListModel::ConversationListModel(QObject *parent)
    : QAbstractListModel(parent)
{
    connect(&DraftStore::shared(), &DraftStore::draftChanged, this, &ConversationListModel::onDraftChanged);
}

void ConversationListModel::onDraftChanged(const QString &peerId)
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (peerId.isEmpty() || m_rows.at(row).participant.id == peerId)
            emit dataChanged(index(row), index(row), {DraftRole});
    }
}

ConversationListModel::~ConversationListModel() = default;

int ConversationListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ConversationListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Conversation &c = m_rows.at(index.row());
    const ConversationParticipant &p = c.participant;
    switch (role) {
    case Qt::DisplayRole:
    case DisplayNameRole:
        return oneLineStart(TextRules::displayName(p.name, p.lastName, p.username));
    case ConversationIdRole:
        return c.id;
    case ParticipantIdRole:
        return p.id;
    case AvatarUrlRole: {
        // Unlike a member's own avatar, an empty value gives no address.
        if (!p.avatar || p.avatar->isEmpty())
            return QUrl();
        return resolveAvatarURL(p.avatar).value_or(QUrl());
    }
    case TimeRole:
        return TextRules::conversationTime(c.lastMessageAt);
    case LastMessageRole:
        return c.lastMessage ? oneLineStart(c.lastMessage->content) : QString();
    case HasLastMessageRole:
        return c.lastMessage.has_value();
    case UnreadCountRole:
        return c.unreadCount;
    case FriendshipStatusRole:
        return toString(c.friendshipStatus);
    case DraftRole:
        return DraftStore::shared().preview(p.id);
    default:
        return {};
    }
}

QHash<int, QByteArray> ConversationListModel::roleNames() const
{
    return {
        {ConversationIdRole, "conversationId"},
        {ParticipantIdRole, "participantId"},
        {DisplayNameRole, "displayName"},
        {AvatarUrlRole, "avatarUrl"},
        {TimeRole, "time"},
        {LastMessageRole, "lastMessage"},
        {HasLastMessageRole, "hasLastMessage"},
        {UnreadCountRole, "unreadCount"},
        {FriendshipStatusRole, "friendshipStatus"},
        {DraftRole, "draft"},
    };
}

void ConversationListModel::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    emit activeChanged();
    m_poller.setActive(active);
}

void ConversationListModel::setSearchText(const QString &text)
{
    if (m_searchText == text)
        return;
    m_searchText = text;
    emit searchTextChanged();
    updateRows();
}

void ConversationListModel::setLanguage(const QString &language)
{
    if (m_language == language)
        return;
    m_language = language;
    emit languageChanged();
}

ConversationListModel::State ConversationListModel::state() const
{
    if (m_isLoading && m_conversations.isEmpty())
        return State::Loading;
    if (!m_errorMessage.isEmpty() && m_conversations.isEmpty())
        return State::Error;
    if (m_conversations.isEmpty())
        return State::Empty;
    return State::List;
}

QString ConversationListModel::localized(const char *ru, const char *en) const
{
    return QString::fromUtf8(m_language == QLatin1String("en") ? en : ru);
}

QCoro::Task<> ConversationListModel::loadConversations(bool showLoading)
{
    QPointer<ConversationListModel> self(this);
    APIClient *api = m_api ? m_api : APIClient::shared();
    if (showLoading)
        setLoading(true);
    setErrorMessage(QString());
    const auto token = m_tokenProvider ? m_tokenProvider() : AuthManager::shared().getToken();
    if (!token) {
        setErrorMessage(localized("Токен не найден", "Token not found"));
        setLoading(false);
        emit loadFinished();
        co_return;
    }
    const auto result = co_await api->getConversations(*token);
    if (!self)
        co_return;
    if (result.ok() && result.value().success) {
        setConversations(result.value().conversations.value_or(QList<Conversation>()));
    } else if (m_conversations.isEmpty()) {
        // With a list on screen every failure stays silent.
        if (result.ok())
            setErrorMessage(result.value().error.value_or(localized("Ошибка загрузки", "Loading error")));
        else
            setErrorMessage(result.error().description());
    }
    setLoading(false);
    emit loadFinished();
}

QVariantMap ConversationListModel::conversationAt(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    return toVariant(m_rows.at(row));
}

bool ConversationListModel::matches(const Conversation &c, const QString &searchText)
{
    if (searchText.isEmpty())
        return true;
    const ConversationParticipant &p = c.participant;
    if (TextRules::containsIgnoringCase(TextRules::displayName(p.name, p.lastName, p.username), searchText))
        return true;
    if (p.username && TextRules::containsIgnoringCase(*p.username, searchText))
        return true;
    return c.lastMessage && TextRules::containsIgnoringCase(c.lastMessage->content, searchText);
}

QVariantMap ConversationListModel::toVariant(const Conversation &c)
{
    auto opt = [](const auto &value) { return value ? QVariant(*value) : QVariant(); };
    const ConversationParticipant &p = c.participant;
    QVariantMap participant{
        {QStringLiteral("id"), p.id},
        {QStringLiteral("numericId"), opt(p.numericId)},
        {QStringLiteral("name"), opt(p.name)},
        {QStringLiteral("lastName"), opt(p.lastName)},
        {QStringLiteral("username"), opt(p.username)},
        {QStringLiteral("avatar"), opt(p.avatar)},
    };
    QVariant lastMessage;
    if (c.lastMessage) {
        lastMessage = QVariantMap{
            {QStringLiteral("content"), c.lastMessage->content},
            {QStringLiteral("senderId"), c.lastMessage->senderId},
            {QStringLiteral("createdAt"), opt(c.lastMessage->createdAt)},
            {QStringLiteral("isMine"), opt(c.lastMessage->isMine)},
        };
    }
    return {
        {QStringLiteral("id"), c.id},
        {QStringLiteral("unreadCount"), c.unreadCount},
        {QStringLiteral("friendshipStatus"), toString(c.friendshipStatus)},
        {QStringLiteral("participant"), participant},
        {QStringLiteral("lastMessage"), lastMessage},
        {QStringLiteral("lastMessageAt"), opt(c.lastMessageAt)},
    };
}

void ConversationListModel::setConversations(const QList<Conversation> &conversations)
{
    const State before = state();
    const int total = totalCount();
    m_conversations = conversations;
    updateRows();
    if (total != totalCount())
        emit totalCountChanged();
    if (before != state())
        emit stateChanged();
}

void ConversationListModel::updateRows()
{
    QList<Conversation> next;
    next.reserve(m_conversations.size());
    for (const Conversation &c : std::as_const(m_conversations)) {
        if (matches(c, m_searchText))
            next.append(c);
    }
    const int before = count();
    KeyedListSignals s;
    s.beginRemove = [this](int first, int last) { beginRemoveRows({}, first, last); };
    s.endRemove = [this] { endRemoveRows(); };
    s.beginInsert = [this](int first, int last) { beginInsertRows({}, first, last); };
    s.endInsert = [this] { endInsertRows(); };
    s.beginMove = [this](int from, int to) { beginMoveRows({}, from, from, {}, to); };
    s.endMove = [this] { endMoveRows(); };
    s.changed = [this](int row) { emit dataChanged(index(row), index(row)); };
    applyKeyedUpdate(m_rows, next, [](const Conversation &c) -> const QString & { return c.id; }, s);
    if (before != count())
        emit countChanged();
}

void ConversationListModel::setLoading(bool value)
{
    if (m_isLoading == value)
        return;
    const State before = state();
    m_isLoading = value;
    emit isLoadingChanged();
    if (before != state())
        emit stateChanged();
}

void ConversationListModel::setErrorMessage(const QString &text)
{
    if (m_errorMessage == text)
        return;
    const State before = state();
    m_errorMessage = text;
    emit errorMessageChanged();
    if (before != state())
        emit stateChanged();
}
