#pragma once

#include "MessagingRecords.h"

#include <QAbstractListModel>
#include <QList>
#include <QtQml/qqmlregistration.h>

// The messages of one chat in the server's order. Updated by message id: a poll that brings the same
// messages emits nothing, so the view keeps every delegate; a changed list only inserts, removes, moves
// or refreshes the rows that differ.
class MessageListModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Owned by ChatController")
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        MessageIdRole = Qt::UserRole + 1,
        ContentRole,
        SenderIdRole,
        CreatedAtRole,
        IsMineRole,
        IsReadRole,
        TimeRole,      // "HH:mm" as the server wrote it
        CardKindRole,  // "download", "unavailable" or ""
        CardUrlRole,
        CardNameRole,
        CardIconRole,
        TextRole,      // the text shown under the card; "" when none
        ThumbnailUrlRole, // the download card's address when it is an image on the content host; "" otherwise
    };
    Q_ENUM(Role)

    explicit MessageListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return int(m_messages.size()); }
    const QList<Message> &messages() const { return m_messages; }

    // The server's list wins whole; only the differences reach the view.
    void setMessages(const QList<Message> &messages);
    // A message just sent; the next poll's list replaces it anyway.
    void append(const Message &message);

    // The content host whose links count as file links (scheme://host[:port]).
    void setContentHost(const QString &host) { m_contentHost = host; }

signals:
    void countChanged();

private:
    QList<Message> m_messages;
    QString m_contentHost;
};
