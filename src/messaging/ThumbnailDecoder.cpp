#include "ThumbnailDecoder.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace ThumbnailDecoder {

namespace {
Result failure(const char *why)
{
    return {QImage(), QString::fromLatin1(why)};
}
} // namespace

Result decode(const QByteArray &bytes, qreal scale)
{
    if (bytes.isEmpty())
        return failure("empty");
    if (bytes.size() > maxBytes)
        return failure("larger than 10 MB");
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // The format is read from the bytes: a name ending in .png says nothing about what follows.
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg" && format != "gif" && format != "webp")
        return failure("not a PNG, JPEG, GIF or WebP image");
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return failure("no image size");
    if (qint64(size.width()) * size.height() > maxPixels)
        return failure("more than 40 megapixels");

    const qreal s = std::clamp(scale, 1.0, 4.0);
    const QSize limit(int(std::lround(box.width() * s)), int(std::lround(box.height() * s)));
    if (size.width() > limit.width() || size.height() > limit.height()) {
        // JPEG decodes at a fraction of its size directly, which is most of the saving for photos.
        reader.setScaledSize(size.scaled(limit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        return failure("undecodable");
    // An orientation tag may have turned the image after it was fitted.
    if (image.width() > limit.width() || image.height() > limit.height())
        image = image.scaled(limit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(s);
    return {image, QString()};
}

bool hasImageExtension(const QString &addressOrName)
{
    const QString path = addressOrName.section(QLatin1Char('?'), 0, 0).section(QLatin1Char('#'), 0, 0).toLower();
    for (const char *extension : {".png", ".jpg", ".jpeg", ".gif", ".webp"}) {
        if (path.endsWith(QLatin1String(extension)))
            return true;
    }
    return false;
}

} // namespace ThumbnailDecoder
