#include "ThumbnailImage.h"

#include "ThumbnailLoader.h"

#include <QPointer>
#include <QQuickWindow>
#include <QSGImageNode>

ThumbnailImage::ThumbnailImage(QQuickItem *parent)
    : QQuickItem(parent)
{
    setFlag(ItemHasContents, true);
}

void ThumbnailImage::setSource(const QString &source)
{
    if (m_source == source)
        return;
    m_source = source;
    emit sourceChanged();
    if (isComponentComplete())
        start();
}

void ThumbnailImage::componentComplete()
{
    QQuickItem::componentComplete();
    start();
}

void ThumbnailImage::start()
{
    const quint64 generation = ++m_generation;
    m_image = QImage();
    m_imageChanged = true;
    setImplicitSize(0, 0);
    update();
    if (m_source.isEmpty()) {
        setStatus(Status::Null);
        return;
    }
    setStatus(Status::Loading);
    const qreal scale = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    QPointer<ThumbnailImage> self(this);
    QCoro::connect(ThumbnailLoader::shared().load(m_source, scale), this,
                   [this, self, generation](const std::optional<QImage> &image) {
        if (!self || generation != m_generation)
            return;
        if (!image) {
            setStatus(Status::Failed);
            return;
        }
        m_image = *image;
        m_imageChanged = true;
        setImplicitSize(m_image.width() / m_image.devicePixelRatio(), m_image.height() / m_image.devicePixelRatio());
        setStatus(Status::Ready);
        update();
    });
}

void ThumbnailImage::setStatus(Status status)
{
    if (m_status == status)
        return;
    m_status = status;
    emit statusChanged();
}

QSGNode *ThumbnailImage::updatePaintNode(QSGNode *old, UpdatePaintNodeData *)
{
    auto *node = static_cast<QSGImageNode *>(old);
    if (m_image.isNull() || width() <= 0 || height() <= 0) {
        delete node;
        return nullptr;
    }
    if (!node) {
        node = window()->createImageNode();
        node->setOwnsTexture(true);
        node->setFiltering(QSGTexture::Linear);
        m_imageChanged = true;
    }
    if (m_imageChanged) {
        node->setTexture(window()->createTextureFromImage(m_image));
        m_imageChanged = false;
    }
    node->setRect(boundingRect());
    return node;
}
