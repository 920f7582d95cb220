#pragma once

#include <httplib.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

// A small HTTP server on 127.0.0.1 answering the auth and unread endpoints with canned answers,
// running on its own thread. The answers and counters are shared with the test thread, hence the lock.
class TestServer
{
public:
    struct Answer {
        int status = 200;
        QByteArray body;
    };

    TestServer()
    {
        m_server.Post("/api/mobile/auth", [this](const httplib::Request &req, httplib::Response &res) {
            const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(req.body)).object();
            const QString action = body.value(QStringLiteral("action")).toString();
            Answer answer;
            {
                std::lock_guard lock(m_mutex);
                if (action == u"login") {
                    ++m_loginRequests;
                    m_lastEmail = body.value(QStringLiteral("email")).toString();
                    answer = m_loginAnswer;
                } else if (action == u"check") {
                    ++m_checkRequests;
                    m_lastCheckedToken = body.value(QStringLiteral("token")).toString();
                    answer = m_checkAnswer;
                } else {
                    answer = {400, R"({"success":false,"error":"bad action"})"};
                }
            }
            if (action == u"login")
                waitForLoginRelease();
            res.status = answer.status;
            res.set_content(answer.body.toStdString(), "application/json");
        });
        m_server.Get("/api/mobile/notifications", [this](const httplib::Request &req, httplib::Response &res) {
            std::unique_lock lock(m_mutex);
            ++m_unreadRequests;
            m_lastAuthorization = QString::fromStdString(req.get_header_value("Authorization"));
            ++m_unreadPending;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return !m_holdUnread || m_unreadReleases > 0 || m_stopping; });
            if (m_unreadReleases > 0)
                --m_unreadReleases;
            --m_unreadPending;
            res.status = 200;
            res.set_content(QStringLiteral(R"({"unreadCount":%1,"notifications":[]})").arg(m_unreadCount).toStdString(),
                            "application/json");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        // The socket listens from bind on, so requests queue until the accept loop runs.
    }

    ~TestServer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            m_holdUnread = false;
            m_holdLogin = false;
        }
        m_changed.notify_all();
        m_server.stop();
        m_thread.join();
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

    void setLoginAnswer(int status, const QByteArray &body) { std::lock_guard l(m_mutex); m_loginAnswer = {status, body}; }
    void setCheckAnswer(int status, const QByteArray &body) { std::lock_guard l(m_mutex); m_checkAnswer = {status, body}; }
    void setUnreadCount(qint64 count) { std::lock_guard l(m_mutex); m_unreadCount = count; }

    // While held, unread requests wait until released one by one (or all at once by unhold).
    void holdUnread(bool hold)
    {
        { std::lock_guard l(m_mutex); m_holdUnread = hold; }
        m_changed.notify_all();
    }
    void releaseUnread(int count)
    {
        { std::lock_guard l(m_mutex); m_unreadReleases += count; }
        m_changed.notify_all();
    }
    void holdLogin(bool hold)
    {
        { std::lock_guard l(m_mutex); m_holdLogin = hold; }
        m_changed.notify_all();
    }

    int loginRequests() const { std::lock_guard l(m_mutex); return m_loginRequests; }
    int checkRequests() const { std::lock_guard l(m_mutex); return m_checkRequests; }
    int unreadRequests() const { std::lock_guard l(m_mutex); return m_unreadRequests; }
    int unreadPending() const { std::lock_guard l(m_mutex); return m_unreadPending; }
    QString lastCheckedToken() const { std::lock_guard l(m_mutex); return m_lastCheckedToken; }
    QString lastAuthorization() const { std::lock_guard l(m_mutex); return m_lastAuthorization; }

    void resetCounters()
    {
        std::lock_guard l(m_mutex);
        m_loginRequests = m_checkRequests = m_unreadRequests = 0;
        m_unreadReleases = 0;
    }

private:
    void waitForLoginRelease()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_holdLogin || m_stopping; });
    }

    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    Answer m_loginAnswer;
    Answer m_checkAnswer;
    qint64 m_unreadCount = 0;
    bool m_holdUnread = false;
    bool m_holdLogin = false;
    bool m_stopping = false;
    int m_unreadReleases = 0;
    int m_unreadPending = 0;
    int m_loginRequests = 0;
    int m_checkRequests = 0;
    int m_unreadRequests = 0;
    QString m_lastEmail;
    QString m_lastCheckedToken;
    QString m_lastAuthorization;
};
