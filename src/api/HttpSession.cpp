#include "HttpSession.h"

#include "ServerReachability.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include <QCoro/QCoroNetworkReply>
#include <QCoro/QCoroSignal>
#include <QCoro/QCoroTimer>

#include <algorithm>
#include <memory>

namespace {
struct DeleteLater {
    void operator()(QObject *o) const { o->deleteLater(); }
};

// Failures where the request never left the machine: waiting and trying again is safe.
bool nothingWasSent(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return true;
    default:
        return false;
    }
}

// Errors Qt derives from the HTTP status itself: the answer arrived whole.
bool isStatusError(QNetworkReply::NetworkError error)
{
    const int e = int(error);
    return e == QNetworkReply::NoError || (e >= 201 && e <= 299) || (e >= 401 && e <= 499)
        || error == QNetworkReply::ProtocolInvalidOperationError;
}

// Serves only entries whose caching headers still call them fresh. Qt would otherwise answer a
// 5xx with a stale copy of an earlier 200, hiding the server's failure from the caller.
class FreshOnlyDiskCache : public QNetworkDiskCache
{
public:
    using QNetworkDiskCache::QNetworkDiskCache;

    QNetworkCacheMetaData metaData(const QUrl &url) override
    {
        QNetworkCacheMetaData data = QNetworkDiskCache::metaData(url);
        return isFresh(data) ? data : QNetworkCacheMetaData();
    }
    QIODevice *data(const QUrl &url) override
    {
        return isFresh(QNetworkDiskCache::metaData(url)) ? QNetworkDiskCache::data(url) : nullptr;
    }

private:
    static bool isFresh(const QNetworkCacheMetaData &data)
    {
        return data.isValid() && data.expirationDate().isValid()
            && data.expirationDate() > QDateTime::currentDateTimeUtc();
    }
};

const QString timedOutText = QStringLiteral("The request timed out.");
} // namespace

HttpSession::HttpSession(Options options, QObject *parent) : QObject(parent), m_options(options)
{
    if (m_options.diskCache) {
        const QString location = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        if (!location.isEmpty()) {
            auto *cache = new FreshOnlyDiskCache(&m_manager);
            cache->setCacheDirectory(QDir(location).filePath(QStringLiteral("http")));
            cache->setMaximumCacheSize(diskCacheBytes);
            m_manager.setCache(cache);
        }
    }
}

QCoro::Task<APIResult<HttpAnswer>> HttpSession::send(QNetworkRequest request, QByteArray method, QByteArray body)
{
    QPointer<HttpSession> self(this);
    const QDeadlineTimer deadline(m_deadline);
    const bool waitForConnectivity = m_options.waitForConnectivity;
    // During a known outage a new request does not start with a burst of quick retries.
    std::chrono::milliseconds backoff{ServerReachability::shared().isReachable() ? 100 : 1000};

    for (;;) {
        const qint64 remaining = std::max<qint64>(1, deadline.remainingTime());
        request.setTransferTimeout(int(std::min<qint64>(remaining, 60000)));
        std::unique_ptr<QNetworkReply, DeleteLater> reply(
            method == "GET" ? m_manager.get(request) : m_manager.sendCustomRequest(request, method, body));

        // The transfer time-out only measures silence; this bounds the whole request.
        auto timedOut = std::make_shared<bool>(false);
        QTimer::singleShot(std::chrono::milliseconds(remaining), reply.get(), [r = reply.get(), timedOut] {
            *timedOut = true;
            r->abort();
        });

        co_await reply.get();
        if (!self)
            co_return APIError::transport(QStringLiteral("Operation canceled"), QNetworkReply::OperationCanceledError);

        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const QNetworkReply::NetworkError error = reply->error();
        auto &reachability = ServerReachability::shared();
        if (status.isValid() && !*timedOut)
            reachability.reportAnswer(status.toInt());
        else
            reachability.reportFailure(*timedOut ? QNetworkReply::TimeoutError : error);
        if (status.isValid() && !*timedOut && isStatusError(error)) {
            HttpAnswer answer;
            answer.isHttp = true;
            answer.status = status.toInt();
            answer.body = reply->readAll();
            co_return answer;
        }
        // Nothing else aborts a reply: a cancellation is one of the two time-outs (Qt's silence timer
        // or the deadline), whichever fired first.
        if (*timedOut || error == QNetworkReply::TimeoutError || error == QNetworkReply::OperationCanceledError)
            co_return APIError::transport(timedOutText, QNetworkReply::TimeoutError);
        if (error == QNetworkReply::NoError) {
            HttpAnswer answer; // not an HTTP answer: callers decide what that means
            answer.body = reply->readAll();
            co_return answer;
        }
        if (!waitForConnectivity || !nothingWasSent(error) || deadline.remainingTime() <= 0)
            co_return APIError::transport(reply->errorString(), error);

        // Wait for connectivity: try again after a growing pause, never past the deadline.
        const auto pause = std::min<std::chrono::milliseconds>(backoff, std::chrono::milliseconds(deadline.remainingTime()));
        const QString lastError = reply->errorString();
        reply.reset();
        // While the server is known to be down the pauses keep growing; the first answer anyone gets
        // from it ends every wait at once.
        if (reachability.isReachable())
            co_await QCoro::sleepFor(pause);
        else
            co_await qCoro(&reachability, &ServerReachability::reachableChanged, pause);
        if (!self)
            co_return APIError::transport(QStringLiteral("Operation canceled"), QNetworkReply::OperationCanceledError);
        if (deadline.hasExpired())
            co_return APIError::transport(lastError, error);
        backoff = std::min<std::chrono::milliseconds>(
            backoff * 2, reachability.isReachable() ? std::chrono::milliseconds(2000) : ServerReachability::longestPause);
    }
}
