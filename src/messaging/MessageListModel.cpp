#include "MessageListModel.h"

#include "KeyedListUpdate.h"
#include "ServerConfig.h"
#include "TextRules.h"
#include "ThumbnailDecoder.h"

MessageListModel::MessageListModel(QObject *parent)
    : QAbstractListModel(parent)
    , m_contentHost(TextRules::contentHostPrefix(ServerConfig::current().contentURL))
{
}

int MessageListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_messages.size());
}

QVariant MessageListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Message &m = m_messages.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case ContentRole:
        return m.content;
    case MessageIdRole:
        return m.id;
    case SenderIdRole:
        return m.senderId;
    case CreatedAtRole:
        return m.createdAt.value_or(QString());
    case IsMineRole:
        return m.isMine.value_or(false);
    case IsReadRole:
        return m.isRead.value_or(false);
    case TimeRole:
        return TextRules::formattedTime(m.createdAt);
    default:
        break;
    }
    if (role < CardKindRole || role > ThumbnailUrlRole)
        return {};
    const auto bubble = TextRules::bubbleContent(m.content, m.attachmentUrl, m.attachmentType,
                                                 m.attachmentFileName(), m_contentHost);
    switch (role) {
    case CardKindRole:
        switch (bubble.card) {
        case TextRules::BubbleContent::Card::Download:
            return QStringLiteral("download");
        case TextRules::BubbleContent::Card::Unavailable:
            return QStringLiteral("unavailable");
        case TextRules::BubbleContent::Card::None:
            return QString();
        }
        return QString();
    case CardUrlRole:
        return bubble.cardUrl;
    case CardNameRole:
        return bubble.cardName;
    case CardIconRole:
        return bubble.cardIcon;
    case TextRole:
        return bubble.text;
    case ThumbnailUrlRole:
        // Previews come from the content host only: an image link to anywhere else stays a plain card.
        if (bubble.card != TextRules::BubbleContent::Card::Download || m_contentHost.isEmpty()
            || !bubble.cardUrl.startsWith(m_contentHost + QLatin1Char('/')))
            return QString();
        if (!ThumbnailDecoder::hasImageExtension(QUrl(bubble.cardUrl).path())
            && !ThumbnailDecoder::hasImageExtension(bubble.cardName))
            return QString();
        return bubble.cardUrl;
    default:
        return {};
    }
}

QHash<int, QByteArray> MessageListModel::roleNames() const
{
    return {
        {MessageIdRole, "messageId"}, {ContentRole, "content"},   {SenderIdRole, "senderId"},
        {CreatedAtRole, "createdAt"}, {IsMineRole, "isMine"},     {IsReadRole, "isRead"},
        {TimeRole, "time"},           {CardKindRole, "cardKind"}, {CardUrlRole, "cardUrl"},
        {CardNameRole, "cardName"},   {CardIconRole, "cardIcon"}, {TextRole, "bodyText"},
        {ThumbnailUrlRole, "thumbnailUrl"},
    };
}

void MessageListModel::setMessages(const QList<Message> &messages)
{
    // A poll whose answer was the previous one's hands over the very list the rows already share.
    if (m_messages.isSharedWith(messages))
        return;
    const int before = count();
    KeyedListSignals s;
    s.beginRemove = [this](int first, int last) { beginRemoveRows({}, first, last); };
    s.endRemove = [this] { endRemoveRows(); };
    s.beginInsert = [this](int first, int last) { beginInsertRows({}, first, last); };
    s.endInsert = [this] { endInsertRows(); };
    s.beginMove = [this](int from, int to) { beginMoveRows({}, from, from, {}, to); };
    s.endMove = [this] { endMoveRows(); };
    s.changed = [this](int row) { emit dataChanged(index(row), index(row)); };
    applyKeyedUpdate(m_messages, messages, [](const Message &m) -> const QString & { return m.id; }, s);
    // Equal by now; sharing the list makes the next identical answer free.
    m_messages = messages;
    if (count() != before)
        emit countChanged();
}

void MessageListModel::append(const Message &message)
{
    const int row = count();
    beginInsertRows({}, row, row);
    m_messages.append(message);
    endInsertRows();
    emit countChanged();
}
