#include "MessageNotifier.h"

#include "ConversationListModel.h"
#include "NotificationPreferences.h"

namespace {

constexpr qsizetype previewLength = 200;
constexpr qsizetype seenLimit = 10000;

} // namespace

MessageNotifier::MessageNotifier(DesktopNotifications *notifications, QObject *parent)
    : QObject(parent)
    , m_notifications(notifications)
{
    connect(notifications, &DesktopNotifications::actionInvoked, this, [this](const QString &key, const QString &) {
        for (auto it = m_conversations.cbegin(); it != m_conversations.cend(); ++it) {
            if (MessageNotifier::key(it.key()) == key) {
                m_notifications->withdraw(key);
                emit openChatRequested(ConversationListModel::toVariant(it.value()));
                return;
            }
        }
    });
}

QString MessageNotifier::localized(const char *ru, const char *en) const
{
    return QString::fromUtf8(m_language == u"en" ? en : ru);
}

QString MessageNotifier::displayName(const ConversationParticipant &participant)
{
    const QString full = QStringList{participant.name.value_or(QString()), participant.lastName.value_or(QString())}
                             .join(QLatin1Char(' '))
                             .trimmed();
    return full.isEmpty() ? participant.username.value_or(QString()).trimmed() : full;
}

void MessageNotifier::setVisibleChat(const QString &participantId)
{
    m_visibleChat = participantId;
    if (!participantId.isEmpty()) {
        m_pending.remove(participantId);
        m_notifications->withdraw(key(participantId));
    }
}

void MessageNotifier::unreadFetched(qint64 count, const QString &newestId, const QString &senderId,
                                    const QString &content)
{
    if (count <= 0) {
        withdrawAll();
        m_started = true;
        return;
    }
    if (newestId.isEmpty() || senderId.isEmpty())
        return;
    if (m_seen.size() > seenLimit)
        m_seen.clear();
    const bool fresh = !m_seen.contains(newestId);
    m_seen.insert(newestId);
    if (!std::exchange(m_started, true) || !fresh || senderId == m_visibleChat)
        return;
    if (!NotificationPreferences::shared().enabled())
        return;
    m_pending.insert(senderId, content);
    if (m_conversations.contains(senderId) || !m_fetch) {
        announce(senderId);
    } else if (!m_fetching) {
        m_fetching = true;
        m_fetch();
    }
}

void MessageNotifier::conversationsFetched(const QList<Conversation> &conversations)
{
    m_fetching = false;
    for (const Conversation &conversation : conversations) {
        m_conversations.insert(conversation.participant.id, conversation);
        if (conversation.unreadCount == 0 && !m_pending.contains(conversation.participant.id))
            m_notifications->withdraw(key(conversation.participant.id));
    }
    // Whoever is still unknown is announced without a name rather than not at all.
    for (const QString &sender : m_pending.keys())
        announce(sender);
}

void MessageNotifier::announce(const QString &senderId)
{
    const QString content = m_pending.take(senderId);
    if (!NotificationPreferences::shared().enabled() || senderId == m_visibleChat)
        return;
    const auto conversation = m_conversations.constFind(senderId);
    QString name = conversation == m_conversations.cend() ? QString() : displayName(conversation->participant);
    DesktopNotifications::Notice notice;
    notice.summary = name.isEmpty() ? QStringLiteral("TheOrvane Teams") : name;
    notice.body = NotificationPreferences::shared().showMessageText() && !content.trimmed().isEmpty()
        ? content.trimmed().left(previewLength)
        : localized("Новое сообщение", "New message");
    notice.category = QString::fromLatin1("im.received"); // a freedesktop category, not an icon
    if (conversation != m_conversations.cend())
        notice.actions = QStringList{QStringLiteral("default"), localized("Открыть", "Open")};
    m_notifications->show(key(senderId), notice);
    emit messageAnnounced();
}

void MessageNotifier::withdrawAll()
{
    m_pending.clear();
    for (const QString &key : m_notifications->keys()) {
        if (key.startsWith(u"message:"))
            m_notifications->withdraw(key);
    }
}

void MessageNotifier::reset()
{
    withdrawAll();
    m_conversations.clear();
    m_seen.clear();
    m_started = false;
    m_fetching = false;
}
