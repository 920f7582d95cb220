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

// libpng allocates what a chunk claims before reading it, and inflates compressed text and colour
// profiles without a bound: a few kilobytes can ask for gigabytes. A thumbnail needs only the
// chunks that make the picture, so the rest is dropped and no chunk may claim more than the file
// holds. Empty when the chunk list is broken.
QByteArray pictureChunksOfPng(const QByteArray &bytes)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    static const QList<QByteArray> kept{"IHDR", "PLTE", "tRNS", "IDAT", "IEND"};
    if (!bytes.startsWith(signature))
        return {};
    QByteArray out = signature;
    qsizetype at = signature.size();
    while (at + 12 <= bytes.size()) {
        const auto *p = reinterpret_cast<const uchar *>(bytes.constData() + at);
        const quint32 length = quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
        if (length > quint32(bytes.size() - at - 12))
            return {};
        const QByteArray type = bytes.mid(at + 4, 4);
        if (kept.contains(type))
            out += bytes.mid(at, 12 + qsizetype(length));
        at += 12 + qsizetype(length);
        if (type == "IEND")
            return out;
    }
    return {};
}
} // namespace

Result decode(const QByteArray &bytes, qreal scale)
{
    if (bytes.isEmpty())
        return failure("empty");
    if (bytes.size() > maxBytes)
        return failure("larger than 10 MB");
    // The format is read from the bytes: a name ending in .png says nothing about what follows.
    QBuffer probe;
    probe.setData(bytes);
    probe.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&probe);
    if (format != "png" && format != "jpeg" && format != "gif" && format != "webp")
        return failure("not a PNG, JPEG, GIF or WebP image");
    const QByteArray data = format == "png" ? pictureChunksOfPng(bytes) : bytes;
    if (data.isEmpty())
        return failure("broken PNG chunks");
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
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
