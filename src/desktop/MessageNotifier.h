#pragma once

#include "DesktopNotifications.h"
#include "MessagingRecords.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <functional>

// Turns what the unread and conversation-list polls fetched into one desktop notification per
// conversation: the sender's name over the newest message, replaced in place as more arrive and
// withdrawn once the conversation is read or seen. Messages already unread at sign-in stay quiet.
class MessageNotifier : public QObject
{
    Q_OBJECT
public:
    explicit MessageNotifier(DesktopNotifications *notifications, QObject *parent = nullptr);

    // Asked once when a message comes from someone not yet in any fetched list; the answer arrives
    // through conversationsFetched.
    void setConversationFetch(std::function<void()> fetch) { m_fetch = std::move(fetch); }
    void setLanguage(const QString &language) { m_language = language; }
    // The account id whose chat the member has in front of them now ("" when none is).
    void setVisibleChat(const QString &participantId);

    void unreadFetched(qint64 count, const QString &newestId, const QString &senderId, const QString &content);
    void conversationsFetched(const QList<Conversation> &conversations);
    // Signed out: every notification goes, and the next member starts afresh.
    void reset();

    static QString key(const QString &participantId) { return QStringLiteral("message:") + participantId; }
    // What a conversation entry shows as its name: name and last name, else username, else "".
    static QString displayName(const ConversationParticipant &participant);

signals:
    // The member clicked a message notification: the conversation (ConversationListModel's map) to open.
    void openChatRequested(const QVariantMap &conversation);
    void messageAnnounced();

private:
    void announce(const QString &senderId);
    void withdrawAll();
    QString localized(const char *ru, const char *en) const;

    DesktopNotifications *m_notifications;
    std::function<void()> m_fetch;
    QString m_language = QStringLiteral("ru");
    QString m_visibleChat;
    QHash<QString, Conversation> m_conversations; // by participant id
    QHash<QString, QString> m_pending;            // sender → newest text, waiting for a name
    QSet<QString> m_seen;                         // unread message ids met so far
    bool m_started = false;
    bool m_fetching = false;
};
