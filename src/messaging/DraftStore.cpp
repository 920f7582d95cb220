#include "DraftStore.h"

#include "AuthManager.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

DraftStore &DraftStore::shared()
{
    static DraftStore *instance = [] {
        auto *store = new DraftStore(defaultFolder());
        AuthManager &auth = AuthManager::shared();
        auto follow = [store, &auth] {
            const auto &user = auth.currentUser();
            // The user goes away only when the member signs out.
            if (!user && !store->member().isEmpty())
                store->removeMember(store->member());
            store->setMember(user ? user->id : QString());
        };
        QObject::connect(&auth, &AuthManager::currentUserChanged, store, follow);
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, store, &DraftStore::flush);
        follow();
        return store;
    }();
    return *instance;
}

QString DraftStore::defaultFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("drafts"));
}

DraftStore::DraftStore(QString folder, QObject *parent)
    : QObject(parent)
    , m_folder(std::move(folder))
{
    // Typing changes the draft with every key; the disk sees it once the member pauses.
    m_writeTimer.setSingleShot(true);
    m_writeTimer.setInterval(1000);
    connect(&m_writeTimer, &QTimer::timeout, this, &DraftStore::flush);
}

DraftStore::~DraftStore()
{
    flush();
}

QString DraftStore::fileFor(const QString &memberId) const
{
    // Identifiers are the server's: only a digest of one names a file.
    const QByteArray digest = QCryptographicHash::hash(memberId.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QDir(m_folder).filePath(QString::fromLatin1(digest.left(32)) + QStringLiteral(".json"));
}

namespace {
// Only an uploaded attachment can be sent later.
Draft keepable(Draft draft)
{
    if (draft.attachment && (draft.attachment->uploadStatus != FileUploadStatus::Uploaded || !draft.attachment->downloadUrl))
        draft.attachment.reset();
    return draft;
}
} // namespace

void DraftStore::setMember(const QString &memberId)
{
    if (memberId == m_member)
        return;
    flush();
    m_dirty = false;
    m_member = memberId;
    m_drafts.clear();
    m_sending.clear();
    if (!m_member.isEmpty())
        load();
    emit draftChanged(QString());
}

void DraftStore::removeMember(const QString &memberId)
{
    if (memberId.isEmpty())
        return;
    if (memberId == m_member) {
        m_writeTimer.stop();
        m_dirty = false;
        m_drafts.clear();
        m_sending.clear();
        emit draftChanged(QString());
    }
    QFile::remove(fileFor(memberId));
}

void DraftStore::load()
{
    QFile file(fileFor(m_member));
    if (!file.open(QIODevice::ReadOnly))
        return;
    // A damaged file loses its drafts, never the program.
    const QJsonObject all = QJsonDocument::fromJson(file.readAll()).object();
    for (auto it = all.begin(); it != all.end(); ++it) {
        const QJsonObject entry = it.value().toObject();
        Draft draft;
        draft.text = entry.value(QStringLiteral("text")).toString();
        const QJsonValue attachment = entry.value(QStringLiteral("attachment"));
        if (attachment.isObject()) {
            auto decoded = AttachedFile::decode(QJsonDocument(attachment.toObject()).toJson(QJsonDocument::Compact));
            if (decoded.ok() && decoded.value().uploadStatus == FileUploadStatus::Uploaded && decoded.value().downloadUrl)
                draft.attachment = decoded.value();
        }
        if (!draft.isEmpty())
            m_drafts.insert(it.key(), draft);
    }
}

void DraftStore::setDraft(const QString &peerId, Draft draft)
{
    if (m_member.isEmpty() || peerId.isEmpty())
        return;
    draft = keepable(std::move(draft));
    if (draft == m_drafts.value(peerId))
        return;
    if (draft.isEmpty())
        m_drafts.remove(peerId);
    else
        m_drafts.insert(peerId, draft);
    changed();
    emit draftChanged(peerId);
}

void DraftStore::sendStarted(const QString &peerId, Draft message)
{
    message = keepable(std::move(message));
    if (m_member.isEmpty() || peerId.isEmpty() || message.isEmpty())
        return;
    m_sending.insert(peerId, message);
    changed();
}

void DraftStore::sendFinished(const QString &peerId, bool arrived)
{
    const Draft message = m_sending.take(peerId);
    if (!arrived && !message.isEmpty() && draft(peerId).isEmpty()) {
        setDraft(peerId, message);
        return;
    }
    changed();
}

void DraftStore::changed()
{
    m_dirty = true;
    m_writeTimer.start();
}

QString DraftStore::preview(const QString &peerId) const
{
    const auto it = m_drafts.constFind(peerId);
    if (it == m_drafts.constEnd())
        return QString();
    const QString line = it->text.trimmed().section(QLatin1Char('\n'), 0, 0).trimmed();
    if (!line.isEmpty() || !it->attachment)
        return line;
    return QStringLiteral("\U0001F4CE ") + it->attachment->name;
}

void DraftStore::flush()
{
    if (!m_dirty || m_member.isEmpty())
        return;
    m_writeTimer.stop();
    m_dirty = false;
    const QString path = fileFor(m_member);
    QHash<QString, Draft> kept = m_sending;
    kept.insert(m_drafts); // what a composer holds wins over what is on its way
    if (kept.isEmpty()) {
        QFile::remove(path);
        return;
    }
    QJsonObject all;
    for (auto it = kept.cbegin(); it != kept.cend(); ++it) {
        QJsonObject entry{{QStringLiteral("text"), it->text}};
        if (it->attachment)
            entry.insert(QStringLiteral("attachment"), it->attachment->toJson());
        all.insert(it.key(), entry);
    }
    QDir().mkpath(m_folder);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(all).toJson(QJsonDocument::Compact));
    file.commit();
}
