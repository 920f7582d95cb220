// Drafts, drop and paste, image previews and the connection state, against the reference server and a
// recording server on 127.0.0.1.
#include "APIClient.h"
#include "AuthManager.h"
#include "CallManager.h"
#include "ChatController.h"
#include "ConnectionStatus.h"
#include "ConversationListModel.h"
#include "DraftStore.h"
#include "ReferenceServer.h"
#include "TestHttpServer.h"
#include "ThumbnailImage.h"
#include "ThumbnailLoader.h"

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {
QByteArray encoded(int width, int height, const char *format = "PNG")
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return buffer.data();
}
} // namespace

class ComfortTest : public QObject
{
    Q_OBJECT
    ReferenceServer m_server;
    QTemporaryDir m_files;
    QString m_peerId, m_peerToken;

    std::unique_ptr<ChatController> chat(APIClient *api = nullptr)
    {
        auto c = std::make_unique<ChatController>();
        c->setApiForTesting(api);
        c->setPeer({{"id", m_peerId}});
        return c;
    }
    // What the next start finds.
    Draft draftOnDisk(const QString &member) const
    {
        DraftStore restarted(DraftStore::defaultFolder());
        restarted.setMember(member);
        return restarted.draft(m_peerId);
    }
    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_files.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        QVERIFY(QCoro::waitFor(AuthManager::shared().loginAsync(m_server.demoSignIns().at(0).email, "demo1234")));
        const auto boris = QCoro::waitFor(APIClient::shared()->login(m_server.demoSignIns().at(1).email, "demo1234"));
        QVERIFY(boris.ok());
        std::tie(m_peerId, m_peerToken) = std::tuple(boris.value().user->id, *boris.value().token);
    }

    // A drop and a paste put the same upload on the wire as the attach button; text is left to the editor.
    void dropAndPaste_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QByteArray>("expectedName"); // empty: nothing is uploaded
        QTest::newRow("drop") << "drop" << QByteArray("photo (1).png");
        QTest::newRow("paste file") << "paste file" << QByteArray("photo (1).png");
        QTest::newRow("paste image") << "paste image" << QByteArray("image.png");
        QTest::newRow("paste text") << "paste text" << QByteArray();
    }
    void dropAndPaste()
    {
        QFETCH(QString, way);
        QFETCH(QByteArray, expectedName);
        TestHttpServer recorder;
        QVERIFY(recorder.listen());
        recorder.respond(200, "{\"success\":true,\"downloadUrl\":\"https://c.example/f\"}");
        APIClient api(recorder.url());
        const QByteArray bytes = encoded(40, 30);
        const QString path = writeFile("photo (1).png", bytes);
        const auto normalized = [](const RecordedRequest &r) {
            static const QRegularExpression boundary("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
            return QString::fromLatin1(r.body + r.header("content-type")).replace(boundary, "B");
        };
        chat(&api)->fileSelected(QUrl::fromLocalFile(path));
        QTRY_COMPARE(recorder.requests.size(), 1);

        auto other = chat(&api);
        auto *mime = new QMimeData;
        if (way == "paste file")
            mime->setUrls({QUrl::fromLocalFile(path), QUrl("https://elsewhere.example/x.png")});
        else if (way == "paste image")
            mime->setImageData(QImage::fromData(bytes));
        mime->setText("plain words");
        QGuiApplication::clipboard()->setMimeData(mime);
        const bool taken = way == "drop" ? other->attachDropped({QUrl("https://elsewhere.example/y.png"), QUrl::fromLocalFile(path)})
                                         : other->pasteFromClipboard();
        QCOMPARE(taken, !expectedName.isEmpty());
        QTest::qWait(100);
        QTRY_COMPARE(recorder.requests.size(), taken ? 2 : 1);
        if (!taken)
            return;
        const RecordedRequest &upload = recorder.requests.at(1);
        QVERIFY(upload.body.contains("filename=\"" + expectedName + "\""));
        if (way != "paste image")
            QCOMPARE(normalized(upload), normalized(recorder.requests.at(0)));
        else
            QCOMPARE(QImage::fromData(upload.body.mid(upload.body.indexOf("\r\n\r\n") + 4)).size(), QSize(40, 30));
    }

    // Only an image on the content host gets a preview; anything else, or anything hostile, stays a card
    // and asks nobody but the content host.
    void thumbnails_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("onContentHost");
        QTest::addColumn<QSize>("shown");
        QTest::newRow("wide png") << "/files/a.png" << true << QSize(320, 160);
        QTest::newRow("small jpg") << "/files/small.JPG" << true << QSize(64, 48);
        QTest::newRow("text named png") << "/files/fake.png" << true << QSize();
        QTest::newRow("50 megapixels") << "/files/huge.png" << true << QSize();
        QTest::newRow("over 10 MB") << "/files/long.gif" << true << QSize();
        QTest::newRow("redirect elsewhere") << "/files/moved.webp" << true << QSize();
        QTest::newRow("other host") << "/files/a.png" << false << QSize();
    }
    void thumbnails()
    {
        QFETCH(QString, path);
        QFETCH(bool, onContentHost);
        QFETCH(QSize, shown);
        TestHttpServer content, elsewhere;
        QVERIFY(content.listen() && elsewhere.listen());
        qputenv("THEORVANE_CONTENT_URL", (content.url() + "/").toUtf8());
        QByteArray huge = encoded(1, 1); // its header then claims 10000 × 5000 pixels
        huge.replace(16, 8, QByteArray::fromHex("0000271000001388"));
        const QHash<QString, CannedResponse> answers{
            {"/files/a.png", {200, encoded(800, 400), "image/png"}},
            {"/files/small.JPG", {200, encoded(64, 48, "JPEG"), "image/jpeg"}},
            {"/files/fake.png", {200, "<svg onload=alert(1)>", "image/png"}},
            {"/files/huge.png", {200, huge, "image/png"}},
            {"/files/long.gif", {200, "GIF89a" + QByteArray(11 * 1024 * 1024, 'x'), "image/gif"}},
            {"/files/moved.webp", {302, {}, {}, {{"Location", (elsewhere.url() + "/a.webp").toUtf8()}}}},
        };
        content.responder = [&](const RecordedRequest &r) { return answers.value(QString::fromLatin1(r.target)); };
        QNetworkAccessManager network;
        ThumbnailLoader::shared().setNetworkForTesting(&network);

        Message m;
        m.attachmentUrl = (onContentHost ? content.url() : elsewhere.url()) + path;
        MessageListModel model;
        model.setContentHost(content.url());
        model.setMessages({m});
        QCOMPARE(model.data(model.index(0), MessageListModel::ThumbnailUrlRole).toString().isEmpty(), !onContentHost);
        ThumbnailImage image, twin; // two bubbles of one picture: one download
        image.setSource(*m.attachmentUrl); // the loader refuses other hosts by itself too
        twin.setSource(*m.attachmentUrl);
        QTRY_VERIFY(image.status() != ThumbnailImage::Status::Loading && twin.status() != ThumbnailImage::Status::Loading);
        QCOMPARE(twin.status(), image.status());
        QCOMPARE(image.status() == ThumbnailImage::Status::Ready, shown.isValid());
        QCOMPARE(QSizeF(image.implicitWidth(), image.implicitHeight()).toSize(), shown.isValid() ? shown : QSize(0, 0));
        QCOMPARE(content.requests.size(), onContentHost ? 1 : 0);
        QCOMPARE(elsewhere.requests.size(), 0);
        ThumbnailLoader::shared().setNetworkForTesting(nullptr);
        qputenv("THEORVANE_CONTENT_URL", m_server.contentUrl().toUtf8());
    }

    // Server gone: banner within one poll, polls back off (seen in the request log of whatever answers
    // on the port meanwhile: messages, unread count, incoming calls), and everything is current within
    // one poll of the server's return.
    void connectionState()
    {
        APIClient::shared()->setDeadlineForTesting(1s);
        AuthManager &auth = AuthManager::shared();
        auth.setUnreadIntervalForTesting(200ms);
        auth.startUnreadChecker();
        auth.setCallPollingProvider([] { return CallManager::shared(); });
        auto c = chat();
        c->setIntervalsForTesting(200ms, 10ms);
        c->pollerForTesting().setLongestPause(1600ms);
        c->setActive(true);
        QTRY_VERIFY(c->messages()->count() > 0);
        const int port = m_server.port();
        auto *status = ConnectionStatus::create(nullptr, nullptr);
        m_server.stop();
        QTRY_VERIFY_WITH_TIMEOUT(status->isOffline(), 1000);

        TestHttpServer gateway;
        QVERIFY(gateway.listen(quint16(port)));
        QList<qint64> polls, unread, calls;
        QElapsedTimer clock;
        clock.start();
        const QList<std::pair<QByteArray, QList<qint64> *>> logs{
            {"/api/mobile/messages", &polls}, {"/api/mobile/notifications", &unread}, {"/api/mobile/calls", &calls}};
        gateway.responder = [&](const RecordedRequest &r) {
            for (const auto &[path, log] : logs) {
                if (r.target.startsWith(path))
                    log->append(clock.elapsed());
            }
            return CannedResponse{503, "<html>Service Unavailable</html>", "text/html"};
        };
        QTest::qWait(6000);
        QVERIFY2(polls.size() >= 3 && polls.size() <= 8, qPrintable(QString::number(polls.size())));
        const qint64 firstGap = polls.at(1) - polls.at(0), lastGap = polls.last() - polls.at(polls.size() - 2);
        QVERIFY2(lastGap >= 1400 && lastGap <= 2500 && firstGap <= 1000 && status->isOffline(),
                 qPrintable(QString("%1 %2").arg(firstGap).arg(lastGap)));
        // Every 200 ms and every 2 s without the back-off.
        QVERIFY2(unread.size() >= 2 && unread.size() <= 8, qPrintable(QString::number(unread.size())));
        QVERIFY2(!calls.isEmpty() && (calls.size() == 1 || calls.at(1) - calls.at(0) >= 3500),
                 qPrintable(QString::number(calls.size())));

        gateway.close();
        const int callPolls = CallManager::shared()->incomingPollRequestCount();
        QSignalSpy unreadSteps(&auth, &AuthManager::unreadStepFinished);
        QVERIFY2(m_server.start({"--port", QString::number(port)}), qPrintable(m_server.error()));
        const int before = c->messages()->count();
        const QString anna = AuthManager::shared().currentUser()->id;
        QVERIFY(QCoro::waitFor(APIClient::shared()->sendMessage(m_peerToken, anna, "снова тут", {}, {})).ok());
        QTRY_VERIFY_WITH_TIMEOUT(!status->isOffline() && c->messages()->count() == before + 1, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(CallManager::shared()->incomingPollRequestCount() > callPolls, 1000);
        QTRY_VERIFY_WITH_TIMEOUT(unreadSteps.size() >= 3, 2000);
        auth.setUnreadIntervalForTesting(AuthManager::unreadInterval);
    }

    // A message still on its way when the program ends is the chat's draft at the next start; once the
    // server has it, it is no draft (even with the chat closed meanwhile).
    void sendingAtQuit()
    {
        TestHttpServer recorder;
        QVERIFY(recorder.listen());
        recorder.responder = [](const RecordedRequest &) {
            return CannedResponse{200, "{\"success\":true}", "application/json", {}, false, true};
        };
        APIClient api(recorder.url());
        DraftStore::shared().setDraft(m_peerId, {});
        auto c = chat(&api);
        c->setNewMessage("уходит при выходе");
        c->sendMessage();
        QTRY_COMPARE(recorder.heldCount(), 1);
        c.reset();
        DraftStore::shared().flush(); // as when the program ends
        const QString member = DraftStore::shared().member();
        QCOMPARE(draftOnDisk(member).text, QString("уходит при выходе"));
        recorder.release();
        QTRY_VERIFY((DraftStore::shared().flush(), draftOnDisk(member).isEmpty()));
    }

    // Typed text and an uploaded file come back after a chat switch and a restart; sign-out removes them.
    void drafts()
    {
        ConversationListModel list;
        list.setActive(true);
        QTRY_VERIFY(list.count() > 0);
        {
            auto first = chat();
            first->setNewMessage("не забыть\nвторая строка");
            first->attachPath(writeFile("plan.txt", "plan"));
            QTRY_VERIFY(first->attachedFile()->uploadStatus == FileUploadStatus::Uploaded);
        }
        auto again = chat();
        QTRY_COMPARE(again->newMessage(), QString("не забыть\nвторая строка"));
        QVERIFY(again->attachedFile() && again->attachedFile()->downloadUrl);
        const auto row = list.match(list.index(0), ConversationListModel::ParticipantIdRole, m_peerId).value(0);
        QCOMPARE(row.data(ConversationListModel::DraftRole).toString(), QString("не забыть"));

        QTest::qWait(1200); // the write a moment after the last change, not a flush at exit
        const QString member = DraftStore::shared().member();
        QCOMPARE(draftOnDisk(member), DraftStore::shared().draft(m_peerId));

        AuthManager::shared().logout();
        QVERIFY(DraftStore::shared().draft(m_peerId).isEmpty());
        QVERIFY(draftOnDisk(member).isEmpty());
    }
};

QTEST_MAIN(ComfortTest)
#include "tst_comfort.moc"
