// Arbitrary bytes as a member's image attachment through the thumbnail decoder: whatever comes in, the
// result is an error or an image inside the thumbnail box, never a crash or a runaway allocation.
#include "ThumbnailDecoder.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The image plugins (JPEG, GIF, WebP) are found through the application's library paths.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const qreal scale : {1.0, 2.0}) {
        const auto result = ThumbnailDecoder::decode(bytes, scale);
        if (result.image.isNull() == result.error.isEmpty())
            std::abort();
        if (!result.image.isNull()
            && (result.image.width() > ThumbnailDecoder::box.width() * scale
                || result.image.height() > ThumbnailDecoder::box.height() * scale))
            std::abort();
    }
    return 0;
}
