#pragma once

#include "APIError.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QObject>

#include <QCoro/QCoroTask>

#include <chrono>

// What came back from the server: the status line and the whole body.
struct HttpAnswer {
    bool isHttp = false; // false when the reply carried no HTTP status
    int status = 0;
    QByteArray body;
};

// One QNetworkAccessManager with the deadline and connectivity rules shared by the clients.
// Every request finishes within the deadline (60 s), waiting for connectivity included.
class HttpSession : public QObject
{
    Q_OBJECT
public:
    struct Options {
        bool waitForConnectivity = false; // retry, with back-off, failures where nothing was sent
        bool diskCache = false;           // 50 MB disk cache for GETs in the cache location
    };

    explicit HttpSession(Options options, QObject *parent = nullptr);

    // method is "GET" or "POST". Transport failures come back as APIError::Kind::Transport.
    QCoro::Task<APIResult<HttpAnswer>> send(QNetworkRequest request, QByteArray method, QByteArray body);

    std::chrono::milliseconds deadline() const { return m_deadline; }
    // Test hook: a refused connection or a silent server need not hold a test for a minute.
    void setDeadlineForTesting(std::chrono::milliseconds deadline) { m_deadline = deadline; }

    QNetworkAccessManager *manager() { return &m_manager; }

    static constexpr qint64 diskCacheBytes = 50 * 1000 * 1000;

private:
    QNetworkAccessManager m_manager;
    Options m_options;
    std::chrono::milliseconds m_deadline{std::chrono::seconds(60)};
};
