#pragma once

#include "MessagingRecords.h"

#include <QHash>
#include <QObject>
#include <QTimer>

#include <optional>

// What the composer held when the member left a chat: its text and an attachment whose upload finished,
// per conversation partner. Kept for the signed-in member in a file of its own under the application's
// data folder (never in the preferences), written a moment after the last change and when the program
// ends, and removed when the member signs out. A message on its way to the server is kept on disk as its
// partner's draft until the server has it, so quitting meanwhile loses nothing.
struct Draft {
    QString text;
    std::optional<AttachedFile> attachment; // only an uploaded one: anything else cannot be sent later
    bool isEmpty() const { return text.isEmpty() && !attachment; }
    bool operator==(const Draft &) const = default;
};

class DraftStore : public QObject
{
    Q_OBJECT
public:
    // The run's store, following AuthManager's signed-in member.
    static DraftStore &shared();

    // `folder` holds one file per member.
    explicit DraftStore(QString folder, QObject *parent = nullptr);
    ~DraftStore() override;

    // The member whose drafts are read and written; an empty id means nobody is signed in.
    void setMember(const QString &memberId);
    QString member() const { return m_member; }
    // Deletes the member's drafts, on disk too.
    void removeMember(const QString &memberId);

    Draft draft(const QString &peerId) const { return m_drafts.value(peerId); }
    // An empty draft removes the entry.
    void setDraft(const QString &peerId, Draft draft);
    // A message sent to `peerId` leaves its composer: until sendFinished() it is what the disk keeps for
    // that partner when the composer holds nothing (never offered to a composer meanwhile: it may still arrive).
    void sendStarted(const QString &peerId, Draft message);
    // Arrived: forgotten. Not arrived: the partner's draft again, unless the composer holds something else.
    void sendFinished(const QString &peerId, bool arrived);
    // The list row's preview: the first line of the text, else "📎 " and the attachment's name; "" without a draft.
    QString preview(const QString &peerId) const;

    // Writes pending changes now.
    void flush();

    static QString defaultFolder();

signals:
    // One partner's draft changed; an empty id means all of them (another member, sign-out).
    void draftChanged(const QString &peerId);

private:
    QString fileFor(const QString &memberId) const;
    void load();
    void changed();

    QString m_folder;
    QString m_member;
    QHash<QString, Draft> m_drafts;
    QHash<QString, Draft> m_sending;
    QTimer m_writeTimer;
    bool m_dirty = false;
};
