#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// Turns the bytes of an image attachment into a bubble's thumbnail. The bytes come from other members:
// only PNG, JPEG, GIF and WebP (told by their content, whatever the name says), at most 10 MB and
// 40 megapixels, are decoded, straight to the thumbnail's size where the format allows it. Anything
// else is an error, never a crash. Runs on any thread; needs Qt Gui only (the fuzz target compiles it).
namespace ThumbnailDecoder {

constexpr qint64 maxBytes = 10 * 1024 * 1024;
constexpr qint64 maxPixels = 40'000'000;
// The largest thumbnail, in device-independent pixels.
constexpr QSize box{320, 240};

struct Result {
    QImage image; // null on failure
    QString error;
};

// `scale` is the screen's device pixel ratio: the image fits box × scale pixels, never enlarged.
Result decode(const QByteArray &bytes, qreal scale = 1);

// The address or file name ends with .png, .jpg, .jpeg, .gif or .webp (any case, query ignored).
bool hasImageExtension(const QString &addressOrName);

} // namespace ThumbnailDecoder
