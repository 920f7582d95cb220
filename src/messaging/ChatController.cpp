#include "ChatController.h"

#include "APIClient.h"
#include "AuthManager.h"
#include "ClipboardAttachment.h"
#include "Diagnostics.h"
#include "DraftStore.h"
#include "TextRules.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroTimer>

namespace {

QString orNil(const std::optional<QString> &value)
{
    return value.value_or(QStringLiteral("nil"));
}

QVariantMap toVariant(const AttachedFile &f)
{
    return {
        {QStringLiteral("id"), f.id},
        {QStringLiteral("name"), f.name},
        {QStringLiteral("size"), f.size},
        {QStringLiteral("mimeType"), f.mimeType},
        {QStringLiteral("localPath"), f.localPath ? QVariant(*f.localPath) : QVariant()},
        {QStringLiteral("downloadUrl"), f.downloadUrl ? QVariant(*f.downloadUrl) : QVariant()},
        {QStringLiteral("uploadStatus"), toString(f.uploadStatus)},
        {QStringLiteral("uploadError"), f.uploadError ? QVariant(*f.uploadError) : QVariant()},
        {QStringLiteral("icon"), f.icon()},
    };
}

} // namespace

ChatController::ChatController(QObject *parent)
    : QObject(parent)
    , m_api(nullptr)
{
    m_noticeTimer.setSingleShot(true);
    connect(&m_noticeTimer, &QTimer::timeout, this, &ChatController::dismissNotice);
}

ChatController::~ChatController() = default;

void ChatController::setPeer(const QVariantMap &peer)
{
    if (m_peer == peer)
        return;
    saveDraft();
    m_restoringDraft = true;
    setNewMessage(QString());
    setAttachedFile(std::nullopt);
    m_restoringDraft = false;
    m_peer = peer;
    emit peerChanged();
    // After the view that shows the chat is complete: an editor still being built would answer the text
    // with edits of its own.
    QMetaObject::invokeMethod(this, &ChatController::restoreDraft, Qt::QueuedConnection);
}

DraftStore &ChatController::drafts() const
{
    return m_drafts ? *m_drafts : DraftStore::shared();
}

void ChatController::restoreDraft()
{
    if (peerId().isEmpty() || !m_newMessage.isEmpty() || m_attachedFile)
        return;
    const Draft draft = drafts().draft(peerId());
    m_restoringDraft = true;
    setNewMessage(draft.text);
    setAttachedFile(draft.attachment);
    m_restoringDraft = false;
}

void ChatController::saveDraft()
{
    if (m_restoringDraft || peerId().isEmpty())
        return;
    drafts().setDraft(peerId(), Draft{m_newMessage, m_attachedFile});
}

void ChatController::setLanguage(const QString &language)
{
    if (m_language == language)
        return;
    m_language = language;
    emit languageChanged();
}

void ChatController::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    emit activeChanged();
    m_poller.setActive(active);
}

void ChatController::setNewMessage(const QString &text)
{
    if (m_newMessage == text)
        return;
    m_newMessage = text;
    emit newMessageChanged();
    saveDraft();
}

QVariant ChatController::attachedFileVariant() const
{
    return m_attachedFile ? QVariant(toVariant(*m_attachedFile)) : QVariant();
}

std::optional<QString> ChatController::token() const
{
    if (m_tokenProvider)
        return m_tokenProvider();
    return AuthManager::shared().getToken();
}

QString ChatController::localized(const char *ru, const char *en) const
{
    return QString::fromUtf8(m_language == QLatin1String("en") ? en : ru);
}

QCoro::Task<> ChatController::loadMessages(bool showLoading)
{
    QPointer<ChatController> self(this);
    APIClient *api = m_api ? m_api : APIClient::shared();
    if (showLoading)
        setLoading(true);
    const auto tok = token();
    if (!tok) {
        diag(QStringLiteral("[ChatView] No token available"));
        if (showLoading)
            setLoading(false);
        emit loadFinished();
        co_return;
    }
    const QString participantId = peerId();
    diag(QStringLiteral("[ChatView] Loading messages for friend.id: ") + participantId);
    const quint64 load = ++m_loadsStarted;
    // The body is compared, and decoded when new, away from the GUI thread's other work.
    const MessageFeed::Load result = co_await m_feed.fetch(api, *tok, participantId);
    if (!self)
        co_return;
    if (!result.answer.ok()) {
        diag(QStringLiteral("[ChatView] Error loading messages: ") + result.answer.error().description());
    } else if (!result.answer.value().success) {
        diag(QStringLiteral("[ChatView] Response not success: ")
             + result.answer.value().error.value_or(QStringLiteral("unknown")));
    } else if (participantId == peerId() && load > m_loadShown) {
        // An answer for a friend this view no longer shows, or older than the list on screen, is dropped.
        m_loadShown = load;
        for (const QString &line : result.lines)
            diag(line);
        static const QList<Message> none;
        const auto &messages = result.answer.value().messages;
        m_messages.setMessages(messages ? *messages : none);
        if (m_unreadRefresh)
            co_await m_unreadRefresh();
        else
            co_await AuthManager::shared().checkUnreadMessages();
        if (!self)
            co_return;
        emit messagesLoaded();
    }
    if (showLoading)
        setLoading(false);
    emit loadFinished();
}

void ChatController::sendMessage()
{
    if (m_newMessage.isEmpty() && !m_attachedFile)
        return;
    if (m_isSending)
        return;
    if (m_attachedFile && m_attachedFile->uploadStatus == FileUploadStatus::Uploading) {
        diag(QStringLiteral("[ChatView] File is still uploading, waiting..."));
        setSending(true);
        waitForFileUploadAndSend();
        return;
    }
    if (m_attachedFile && m_attachedFile->uploadStatus == FileUploadStatus::Failed) {
        diag(QStringLiteral("[ChatView] File upload failed, cannot send"));
        return;
    }
    performSend();
}

QCoro::Task<> ChatController::waitForFileUploadAndSend()
{
    QPointer<ChatController> self(this);
    int waits = 0;
    while (m_attachedFile && m_attachedFile->uploadStatus == FileUploadStatus::Uploading && waits < uploadWaitSteps) {
        co_await QCoro::sleepFor(m_uploadStep);
        if (!self)
            co_return;
        ++waits;
    }
    if (!m_attachedFile || m_attachedFile->uploadStatus == FileUploadStatus::Uploaded) {
        co_await performSend();
        co_return;
    }
    diag(QStringLiteral("[ChatView] File upload failed or timed out"));
    setSending(false);
    emit sendFinished(false);
}

QCoro::Task<> ChatController::performSend()
{
    QPointer<ChatController> self(this);
    APIClient *api = m_api ? m_api : APIClient::shared();
    const QString typed = m_newMessage;
    const QString content = typed.trimmed();
    const std::optional<AttachedFile> file = m_attachedFile;
    std::optional<QString> attachmentUrl;
    std::optional<QString> attachmentType;
    std::optional<QString> attachmentName;
    if (file) {
        diag(QStringLiteral("[ChatView] performSend: file status=") + toString(file->uploadStatus)
             + QStringLiteral(", downloadUrl=") + orNil(file->downloadUrl));
        if (file->uploadStatus == FileUploadStatus::Uploaded && file->downloadUrl) {
            attachmentUrl = file->downloadUrl;
            attachmentType = file->mimeType;
            attachmentName = file->name;
            diag(QStringLiteral("[ChatView] ✅ Will send with attachment: ") + *attachmentUrl);
        } else {
            diag(QStringLiteral("[ChatView] ⚠️ File not uploaded yet or no URL, sending without attachment"));
        }
    }

    // Until the server has the message it is kept as the chat's draft: quitting meanwhile loses nothing, and
    // should it have arrived after all, a draft to delete is better than a message sent twice.
    const QString to = peerId();
    QPointer<DraftStore> store(&drafts());
    store->sendStarted(to, Draft{typed, file});
    setNewMessage(QString());
    setAttachedFile(std::nullopt);
    setSending(true);

    const auto tok = token();
    if (!tok) {
        store->sendFinished(to, false);
        restoreAfterFailedSend(to, typed, file);
        setSending(false);
        emit sendFinished(false);
        co_return;
    }

    QString text = content;
    if (content.isEmpty() && attachmentName)
        text = QStringLiteral("\U0001F4CE ") + *attachmentName;
    diag(QStringLiteral("[ChatView] Sending message: content='") + text + QStringLiteral("', attachmentUrl=")
         + orNil(attachmentUrl) + QStringLiteral(", attachmentType=") + orNil(attachmentType));

    const auto result = co_await api->sendMessage(*tok, to, text, attachmentUrl, attachmentType);
    const bool ok = result.ok() && result.value().success;
    if (store)
        store->sendFinished(to, ok);
    if (!self)
        co_return;
    if (!result.ok())
        diag(QStringLiteral("Error sending message: ") + result.error().description());
    else if (ok && result.value().message && to == peerId())
        m_messages.append(*result.value().message);
    if (!ok)
        restoreAfterFailedSend(to, typed, file);
    setSending(false);
    emit sendFinished(ok);
}

void ChatController::restoreAfterFailedSend(const QString &peer, const QString &text,
                                            const std::optional<AttachedFile> &file)
{
    // Whatever the member typed meanwhile wins; only an empty composer gets the lost message back. With
    // another chat open by now, the message waits as its own chat's draft.
    if (peer == peerId() && m_newMessage.isEmpty() && !m_attachedFile) {
        setNewMessage(text);
        setAttachedFile(file);
    }
    setNotice(localized("Не удалось отправить сообщение", "Message not sent"));
}

void ChatController::attachFile()
{
    diag(QStringLiteral("[ChatView] 📎 attachFile() called"));
    emit fileDialogRequested();
}

void ChatController::fileSelected(const QUrl &file)
{
    if (file.isEmpty()) {
        fileSelectionCancelled();
        return;
    }
    attachPath(file.isLocalFile() ? file.toLocalFile() : file.toString());
}

void ChatController::fileSelectionCancelled()
{
    diag(QStringLiteral("[ChatView] 📎 File selection cancelled"));
}

void ChatController::attachPath(const QString &path)
{
    diag(QStringLiteral("[ChatView] 📎 File selected: ") + path);
    const QFileInfo info(path);
    if (!info.exists()) {
        diag(QStringLiteral("[ChatView] ❌ Error getting file attributes: The file does not exist"));
        return;
    }
    if (!info.isFile()) {
        diag(QStringLiteral("[ChatView] ❌ Error getting file attributes: Not a regular file"));
        return;
    }
    const qint64 size = info.size();
    diag(QStringLiteral("[ChatView] 📎 File size: %1 bytes").arg(size));

    AttachedFile file;
    file.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    file.name = info.fileName();
    file.size = size;
    file.localPath = path;
    if (size > APIClient::maxUploadBytes) {
        diag(QStringLiteral("[ChatView] ❌ File too large: %1 bytes").arg(size));
        file.mimeType = QStringLiteral("application/octet-stream");
        file.uploadStatus = FileUploadStatus::Failed;
        file.uploadError = localized("Файл слишком большой (макс. 10 МБ)", "File too large (max 10 MB)");
        setAttachedFile(file);
        return;
    }
    file.mimeType = TextRules::mimeTypeForFileName(file.name);
    diag(QStringLiteral("[ChatView] 📎 MIME type: ") + file.mimeType);
    file.uploadStatus = FileUploadStatus::Uploading;
    setAttachedFile(file);
    diag(QStringLiteral("[ChatView] 📎 Created AttachedFile: ") + file.name + QStringLiteral(", status=")
         + toString(file.uploadStatus));
    diag(QStringLiteral("[ChatView] 📎 Calling uploadFileToServer..."));
    uploadFileToServer(path);
}

QCoro::Task<> ChatController::uploadFileToServer(QString path)
{
    QPointer<ChatController> self(this);
    APIClient *api = m_api ? m_api : APIClient::shared();
    // The result belongs to the attachment it was started for; a removed or replaced one is left alone.
    const QString attachmentId = m_attachedFile ? m_attachedFile->id : QString();
    diag(QStringLiteral("[ChatView] 🚀 uploadFileToServer called for: ") + path);
    diag(QStringLiteral("[ChatView] 🚀 Task started, checking token..."));
    const auto tok = token();
    if (!tok) {
        diag(QStringLiteral("[ChatView] ❌ No token available!"));
        if (m_attachedFile && m_attachedFile->id == attachmentId)
            markAttachmentFailed(QStringLiteral("Not authenticated"));
        emit uploadFinished();
        co_return;
    }
    // The token itself stays out of the log.
    diag(QStringLiteral("[ChatView] ✅ Token found"));
    diag(QStringLiteral("[ChatView] 📤 Calling APIClient.uploadFile..."));
    const auto result = co_await api->uploadFile(*tok, path);
    if (!self)
        co_return;
    const bool current = m_attachedFile && m_attachedFile->id == attachmentId;
    if (!result.ok()) {
        diag(QStringLiteral("[ChatView] ❌ Upload error: ") + result.error().description());
        if (current)
            markAttachmentFailed(result.error().description());
    } else {
        const FileUploadResponse &answer = result.value();
        diag(QStringLiteral("[ChatView] Upload response: success=")
             + (answer.success ? QStringLiteral("true") : QStringLiteral("false")) + QStringLiteral(", downloadUrl=")
             + orNil(answer.downloadUrl) + QStringLiteral(", error=") + orNil(answer.error));
        if (!answer.success || !answer.downloadUrl) {
            diag(QStringLiteral("[ChatView] ❌ Upload failed: ") + answer.error.value_or(QStringLiteral("Unknown error")));
            if (current)
                markAttachmentFailed(answer.error.value_or(QStringLiteral("Upload failed")));
        } else {
            diag(QStringLiteral("[ChatView] ✅ File uploaded successfully: ") + *answer.downloadUrl);
            if (current) {
                AttachedFile file = *m_attachedFile;
                file.downloadUrl = answer.downloadUrl;
                file.uploadStatus = FileUploadStatus::Uploaded;
                setAttachedFile(file);
                diag(QStringLiteral("[ChatView] Updated attachedFile: downloadUrl=") + orNil(file.downloadUrl)
                     + QStringLiteral(", status=") + toString(file.uploadStatus));
            }
        }
    }
    emit uploadFinished();
}

bool ChatController::attachDropped(const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    return attachMimeData(&data);
}

bool ChatController::pasteFromClipboard()
{
    return attachMimeData(QGuiApplication::clipboard()->mimeData());
}

bool ChatController::attachMimeData(const QMimeData *data)
{
    const ClipboardAttachment found = ClipboardAttachment::from(data);
    if (!found.localFile.isEmpty()) {
        attachPath(found.localFile);
        return true;
    }
    if (found.image.isNull())
        return false;
    // Each paste gets a folder of its own, so the name stays "image.png" and an earlier one is untouched.
    if (!m_pasteFolder)
        m_pasteFolder = std::make_unique<QTemporaryDir>();
    const QString folder = m_pasteFolder->filePath(QString::number(++m_pastes));
    const QString path = QDir(folder).filePath(QLatin1String("image.png"));
    // Encoding a large screenshot takes a good part of a second: not on the GUI thread.
    auto write = [](QImage image, QString folder, QString path) {
        QImageWriter writer(path, "png");
        return QDir().mkpath(folder) && writer.write(image) ? QString() : writer.errorString();
    };
    QPointer<ChatController> self(this);
    QtConcurrent::run(write, found.image, folder, path).then(this, [this, self, path](const QString &error) {
        if (!self)
            return;
        if (error.isEmpty()) {
            attachPath(path);
            return;
        }
        diag(QStringLiteral("[ChatView] ❌ Pasted image not saved: ") + error);
        setNotice(localized("Не удалось вставить изображение", "Image not pasted"));
    });
    return true;
}

void ChatController::retryUpload()
{
    if (!m_attachedFile || !m_attachedFile->localPath)
        return;
    AttachedFile file = *m_attachedFile;
    file.uploadStatus = FileUploadStatus::Uploading;
    file.uploadError.reset();
    setAttachedFile(file);
    uploadFileToServer(*file.localPath);
}

void ChatController::removeAttachment()
{
    setAttachedFile(std::nullopt);
}

void ChatController::dismissNotice()
{
    m_noticeTimer.stop();
    setNotice(QString());
}

void ChatController::setAttachedFile(std::optional<AttachedFile> file)
{
    if (m_attachedFile == file)
        return;
    m_attachedFile = std::move(file);
    emit attachedFileChanged();
    saveDraft();
}

void ChatController::markAttachmentFailed(const QString &error)
{
    if (!m_attachedFile)
        return;
    AttachedFile file = *m_attachedFile;
    file.uploadStatus = FileUploadStatus::Failed;
    file.uploadError = error;
    setAttachedFile(file);
}

void ChatController::setLoading(bool value)
{
    if (m_isLoading == value)
        return;
    m_isLoading = value;
    emit isLoadingChanged();
}

void ChatController::setSending(bool value)
{
    if (m_isSending == value)
        return;
    m_isSending = value;
    emit isSendingChanged();
}

void ChatController::setNotice(const QString &text)
{
    if (!text.isEmpty())
        m_noticeTimer.start(noticeDuration);
    if (m_notice == text)
        return;
    m_notice = text;
    emit noticeChanged();
}
