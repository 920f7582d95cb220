#include "AvatarImages.h"

#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QQmlEngine>
#include <QQuickImageProvider>
#include <QThreadStorage>

namespace {

const QString providerId = QStringLiteral("avatar");

// Responses are made on the engine's image loader thread; the network manager must live there too.
QNetworkAccessManager *loaderThreadNetwork()
{
    static QThreadStorage<QNetworkAccessManager *> perThread;
    if (!perThread.hasLocalData()) {
        auto *network = new QNetworkAccessManager;
        network->setTransferTimeout(60000);
        perThread.setLocalData(network);
    }
    return perThread.localData();
}

class AvatarResponse : public QQuickImageResponse
{
public:
    AvatarResponse(const QUrl &url, const QSize &requestedSize)
        : m_reply(loaderThreadNetwork()->get(QNetworkRequest(url)))
    {
        connect(m_reply, &QNetworkReply::finished, this, [this, requestedSize] {
            QNetworkReply *reply = m_reply;
            m_reply = nullptr;
            reply->deleteLater();
            if (reply->error() != QNetworkReply::NoError) {
                m_error = reply->errorString();
            } else {
                QImageReader reader(reply);
                m_image = reader.read();
                if (m_image.isNull())
                    m_error = reader.errorString();
                else if (requestedSize.isValid() && !requestedSize.isEmpty()
                         && (m_image.width() > requestedSize.width() || m_image.height() > requestedSize.height()))
                    m_image = m_image.scaled(requestedSize, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
            }
            emit finished();
        });
    }

    ~AvatarResponse() override
    {
        if (m_reply) {
            m_reply->disconnect(this);
            m_reply->abort();
            m_reply->deleteLater();
        }
    }

    QQuickTextureFactory *textureFactory() const override
    {
        return QQuickTextureFactory::textureFactoryForImage(m_image);
    }

    QString errorString() const override { return m_error; }

    void cancel() override
    {
        if (m_reply)
            m_reply->abort(); // answers through finished, with an error
    }

private:
    QNetworkReply *m_reply;
    QImage m_image;
    QString m_error;
};

class AvatarImageProvider : public QQuickAsyncImageProvider
{
public:
    QQuickImageResponse *requestImageResponse(const QString &id, const QSize &requestedSize) override
    {
        return new AvatarResponse(QUrl::fromEncoded(QByteArray::fromBase64(id.toLatin1(), QByteArray::Base64UrlEncoding)),
                                  requestedSize);
    }
};

} // namespace

AvatarImages::AvatarImages(QObject *parent)
    : QObject(parent)
{
}

AvatarImages *AvatarImages::create(QQmlEngine *engine, QJSEngine *)
{
    install(engine);
    return new AvatarImages;
}

void AvatarImages::install(QQmlEngine *engine)
{
    if (engine && !engine->imageProvider(providerId))
        engine->addImageProvider(providerId, new AvatarImageProvider);
}

QUrl AvatarImages::address(const QUrl &source)
{
    const QString scheme = source.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return source;
    // Base64 keeps the address intact: image addresses are decoded once more on their way in.
    return QUrl(QStringLiteral("image://") + providerId + QLatin1Char('/')
                + QString::fromLatin1(source.toEncoded().toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)));
}
