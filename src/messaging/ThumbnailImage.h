#pragma once

#include <QImage>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

// A bubble's image preview: the thumbnail of `source` (an address on the content host), fetched and
// decoded by ThumbnailLoader; its implicit size is the thumbnail's. `status` tells Loading, Ready or
// Failed (not an image, refused, unreachable): the bubble then shows its download card alone.
class ThumbnailImage : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)

public:
    enum class Status { Null, Loading, Ready, Failed };
    Q_ENUM(Status)

    explicit ThumbnailImage(QQuickItem *parent = nullptr);

    QString source() const { return m_source; }
    void setSource(const QString &source);
    Status status() const { return m_status; }

signals:
    void sourceChanged();
    void statusChanged();

protected:
    void componentComplete() override;
    QSGNode *updatePaintNode(QSGNode *node, UpdatePaintNodeData *) override;

private:
    void start();
    void setStatus(Status status);

    QString m_source;
    Status m_status = Status::Null;
    QImage m_image;
    bool m_imageChanged = false;
    quint64 m_generation = 0;
};
