#pragma once

#include "MessageFeed.h"
#include "MessageListModel.h"
#include "MessagingRecords.h"
#include "Poller.h"

#include <QObject>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class APIClient;
class DraftStore;
class QMimeData;

// The state of one open chat: the friend's messages (loaded when shown, polled every 3 s), the composer's
// text and single attachment (uploaded as soon as it is chosen), and sending, which waits for a running
// upload. A failed send puts the text and attachment back when the composer is still empty and says so.
// The composer's content is the chat's draft (DraftStore): it is there again when the chat is reopened.
//
// QML: peer (the friend map: id, numericId, name, lastName, username, avatar, unreadCount), language,
// active (shown: load, then poll; hidden: stop), messages (MessageListModel), newMessage, attachedFile
// (a map with id, name, size, mimeType, localPath, downloadUrl, uploadStatus, uploadError; null without a
// file), isLoading, isSending, notice ("" or the failed-send text); sendMessage(), attachFile() (asks the
// view for a file with fileDialogRequested), fileSelected(url), fileSelectionCancelled(), retryUpload(),
// removeAttachment(), dismissNotice().
class ChatController : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariantMap peer READ peer WRITE setPeer NOTIFY peerChanged)
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(bool active READ isActive WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(MessageListModel *messages READ messages CONSTANT)
    Q_PROPERTY(QString newMessage READ newMessage WRITE setNewMessage NOTIFY newMessageChanged)
    Q_PROPERTY(QVariant attachedFile READ attachedFileVariant NOTIFY attachedFileChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(bool isSending READ isSending NOTIFY isSendingChanged)
    Q_PROPERTY(QString notice READ notice NOTIFY noticeChanged)

public:
    static constexpr std::chrono::milliseconds pollInterval{3000};
    static constexpr std::chrono::milliseconds uploadWaitStep{1000};
    static constexpr int uploadWaitSteps = 60;
    static constexpr std::chrono::milliseconds noticeDuration{4000};

    explicit ChatController(QObject *parent = nullptr);
    ~ChatController() override;

    QVariantMap peer() const { return m_peer; }
    void setPeer(const QVariantMap &peer);
    QString peerId() const { return m_peer.value(QStringLiteral("id")).toString(); }
    QString language() const { return m_language; }
    void setLanguage(const QString &language);
    bool isActive() const { return m_active; }
    void setActive(bool active);
    MessageListModel *messages() { return &m_messages; }
    QString newMessage() const { return m_newMessage; }
    void setNewMessage(const QString &text);
    const std::optional<AttachedFile> &attachedFile() const { return m_attachedFile; }
    QVariant attachedFileVariant() const;
    bool isLoading() const { return m_isLoading; }
    bool isSending() const { return m_isSending; }
    QString notice() const { return m_notice; }

    // One load; the first shows the loading state. Failures keep the shown messages.
    QCoro::Task<> loadMessages(bool showLoading);
    Q_INVOKABLE void reload() { loadMessages(true); }
    // One poll now (no loading state).
    Q_INVOKABLE void refresh() { loadMessages(false); }
    Q_INVOKABLE void startAutoRefresh() { m_poller.restart(); }
    Q_INVOKABLE void stopAutoRefresh() { m_poller.stop(); }
    bool isPolling() const { return m_poller.isRunning(); }

    // The composer's send action (button or Enter).
    Q_INVOKABLE void sendMessage();
    QCoro::Task<> performSend();
    QCoro::Task<> waitForFileUploadAndSend();

    Q_INVOKABLE void attachFile();
    Q_INVOKABLE void fileSelected(const QUrl &file);
    Q_INVOKABLE void fileSelectionCancelled();
    // The file at `path` becomes the attachment (size check, type, upload).
    void attachPath(const QString &path);
    QCoro::Task<> uploadFileToServer(QString path);
    // A drop on the chat: its first local file is attached as the attach button does. False when none.
    Q_INVOKABLE bool attachDropped(const QList<QUrl> &urls);
    // Ctrl+V: a copied file or image is attached (an image as "image.png"); false leaves the paste to the
    // editor, which takes plain text only.
    Q_INVOKABLE bool pasteFromClipboard();
    bool attachMimeData(const QMimeData *data);
    Q_INVOKABLE void retryUpload();
    Q_INVOKABLE void removeAttachment();
    Q_INVOKABLE void dismissNotice();

    // Test hooks: another API client, token source and unread refresh; shorter waits.
    void setApiForTesting(APIClient *api) { m_api = api; }
    void setTokenProviderForTesting(std::function<std::optional<QString>()> provider)
    {
        m_tokenProvider = std::move(provider);
    }
    void setUnreadRefreshForTesting(std::function<QCoro::Task<>()> refresh) { m_unreadRefresh = std::move(refresh); }
    void setDraftStoreForTesting(DraftStore *store) { m_drafts = store; }
    Poller &pollerForTesting() { return m_poller; }
    void setIntervalsForTesting(std::chrono::milliseconds poll, std::chrono::milliseconds uploadStep)
    {
        m_poller.setInterval(poll);
        m_uploadStep = uploadStep;
    }

signals:
    void peerChanged();
    void languageChanged();
    void activeChanged();
    void newMessageChanged();
    void attachedFileChanged();
    void isLoadingChanged();
    void isSendingChanged();
    void noticeChanged();
    // The view shows its file dialog; it answers with fileSelected() or fileSelectionCancelled().
    void fileDialogRequested();
    // After every successful load.
    void messagesLoaded();
    // A load ended, whatever its outcome.
    void loadFinished();
    // A send ended; ok false when nothing reached the server.
    void sendFinished(bool ok);
    // An upload ended, whatever its outcome.
    void uploadFinished();

private:
    std::optional<QString> token() const;
    QString localized(const char *ru, const char *en) const;
    void setAttachedFile(std::optional<AttachedFile> file);
    void markAttachmentFailed(const QString &error);
    void setLoading(bool value);
    void setSending(bool value);
    void setNotice(const QString &text);
    void restoreAfterFailedSend(const QString &peer, const QString &text, const std::optional<AttachedFile> &file);
    DraftStore &drafts() const;
    // The composer of a chat opened again starts with what it held when the member left it.
    void restoreDraft();
    void saveDraft();

    APIClient *m_api;
    std::function<std::optional<QString>()> m_tokenProvider;
    std::function<QCoro::Task<>()> m_unreadRefresh;
    DraftStore *m_drafts = nullptr;
    bool m_restoringDraft = false;

    QVariantMap m_peer;
    QString m_language = QStringLiteral("ru");
    bool m_active = false;
    MessageListModel m_messages;
    QString m_newMessage;
    std::optional<AttachedFile> m_attachedFile;
    bool m_isLoading = false;
    bool m_isSending = false;
    QString m_notice;

    MessageFeed m_feed;
    // Loads may overlap (a poll and a retry): an answer older than the one on screen is dropped.
    quint64 m_loadsStarted = 0;
    quint64 m_loadShown = 0;
    Poller m_poller{pollInterval, [this](bool showLoading) { return loadMessages(showLoading); }};
    QTimer m_noticeTimer;
    // Pasted images as files for the upload (and a retry of it); gone with the chat.
    std::unique_ptr<QTemporaryDir> m_pasteFolder;
    int m_pastes = 0;
    std::chrono::milliseconds m_uploadStep = uploadWaitStep;
};
