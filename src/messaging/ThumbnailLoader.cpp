#include "ThumbnailLoader.h"

#include "APIClient.h"
#include "ServerConfig.h"
#include "ThumbnailDecoder.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>
#include <QCoro/QCoroNetworkReply>

#include <memory>

ThumbnailLoader &ThumbnailLoader::shared()
{
    static ThumbnailLoader *instance = new ThumbnailLoader;
    return *instance;
}

ThumbnailLoader::ThumbnailLoader(QObject *parent)
    : QObject(parent)
{
    // Two at a time: a chat full of photos must not take every core from the rest of the program.
    m_decoders.setMaxThreadCount(2);
    // Costs in KiB: about a hundred full-size thumbnails.
    m_cache.setMaxCost(32 * 1024);
}

QNetworkAccessManager *ThumbnailLoader::network()
{
    return m_network ? m_network : APIClient::shared()->contentNetwork();
}

bool ThumbnailLoader::isContentAddress(const QUrl &url)
{
    const QUrl base(ServerConfig::current().contentURL);
    return url.isValid() && base.isValid() && !base.host().isEmpty() && url.scheme() == base.scheme()
        && url.host() == base.host() && url.port(-1) == base.port(-1) && url.userInfo().isEmpty()
        && url.path().startsWith(base.path());
}

QCoro::Task<std::optional<QImage>> ThumbnailLoader::load(QString address, qreal scale)
{
    const QString key = address + QLatin1Char('@') + QString::number(scale);
    if (const QImage *cached = m_cache.object(key))
        co_return *cached;
    const QUrl url(address, QUrl::StrictMode);
    if (!isContentAddress(url))
        co_return std::nullopt;
    // Bubbles showing one picture at the same time share its download and decode.
    if (const auto running = m_loading.constFind(key); running != m_loading.constEnd())
        co_return co_await QFuture<std::optional<QImage>>(*running);
    QPromise<std::optional<QImage>> promise;
    m_loading.insert(key, promise.future());
    promise.start();
    QPointer<ThumbnailLoader> self(this);
    const auto image = co_await loadOnce(url, scale);
    promise.addResult(image);
    promise.finish();
    if (!self)
        co_return std::nullopt;
    m_loading.remove(key);
    if (image)
        m_cache.insert(key, new QImage(*image), int(std::max<qsizetype>(1, image->sizeInBytes() / 1024)));
    co_return image;
}

QCoro::Task<std::optional<QImage>> ThumbnailLoader::loadOnce(QUrl url, qreal scale)
{
    QPointer<ThumbnailLoader> self(this);
    const auto bytes = co_await fetch(url);
    if (!self || !bytes)
        co_return std::nullopt;
    const auto result = co_await QtConcurrent::run(&m_decoders, ThumbnailDecoder::decode, *bytes, scale);
    if (!self || result.image.isNull())
        co_return std::nullopt;
    co_return result.image;
}

QCoro::Task<std::optional<QByteArray>> ThumbnailLoader::fetch(QUrl url)
{
    QNetworkRequest request(url);
    // A redirect could lead anywhere; the content host serves its files itself.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
    request.setTransferTimeout(60000);
    ++m_requests;
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> reply(network()->get(request),
                                                                   [](QNetworkReply *r) { r->deleteLater(); });
    QNetworkReply *r = reply.get();
    connect(r, &QNetworkReply::downloadProgress, r, [r](qint64 received, qint64 total) {
        if (received > ThumbnailDecoder::maxBytes || total > ThumbnailDecoder::maxBytes)
            r->abort();
    });
    co_await r;
    if (r->error() != QNetworkReply::NoError || r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
        co_return std::nullopt;
    co_return r->readAll();
}
