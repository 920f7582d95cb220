#pragma once

#include <QCache>
#include <QFuture>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QThreadPool>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <optional>

class QNetworkAccessManager;

// Fetches image attachments for bubble thumbnails and decodes them off the GUI thread. Only addresses on
// the content host are fetched, without following redirects, through the API client's network access
// and so its 50 MB disk cache; a body over 10 MB is cut off. Decoded thumbnails stay in a small memory
// cache, so a bubble scrolled out of view and back costs nothing; bubbles asking for one picture at the
// same time share one download. Lives on the GUI thread.
class ThumbnailLoader : public QObject
{
    Q_OBJECT
public:
    static ThumbnailLoader &shared();

    // The thumbnail, or nothing when the address is not the content host's or the image is refused.
    QCoro::Task<std::optional<QImage>> load(QString address, qreal scale);

    // Scheme, host and port of the configured content host, and a path under its base path.
    static bool isContentAddress(const QUrl &url);

    void setNetworkForTesting(QNetworkAccessManager *network) { m_network = network; }
    // Requests made so far (tests count them).
    int requestCount() const { return m_requests; }

private:
    explicit ThumbnailLoader(QObject *parent = nullptr);
    QCoro::Task<std::optional<QImage>> loadOnce(QUrl url, qreal scale);
    QCoro::Task<std::optional<QByteArray>> fetch(QUrl url);
    QNetworkAccessManager *network();

    QNetworkAccessManager *m_network = nullptr;
    QThreadPool m_decoders;
    QCache<QString, QImage> m_cache;
    QHash<QString, QFuture<std::optional<QImage>>> m_loading; // by cache key
    int m_requests = 0;
};
