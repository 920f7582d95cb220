#include "ClipboardAttachment.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

ClipboardAttachment ClipboardAttachment::from(const QMimeData *data)
{
    ClipboardAttachment result;
    if (!data)
        return result;
    if (data->hasUrls()) {
        for (const QUrl &url : data->urls()) {
            if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) {
                result.localFile = url.toLocalFile();
                return result;
            }
        }
    }
    if (data->hasImage())
        result.image = qvariant_cast<QImage>(data->imageData());
    return result;
}
