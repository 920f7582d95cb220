#pragma once

#include <QImage>
#include <QString>

class QMimeData;

// What a paste or a drop would attach: a local file (a file manager's text/uri-list), else an image's
// pixels (image/png and the like), else nothing, and the text is pasted as plain text by the editor.
// Links to remote files attach nothing: nothing is ever fetched from an address a clipboard names.
struct ClipboardAttachment {
    QString localFile;
    QImage image;

    bool isEmpty() const { return localFile.isEmpty() && image.isNull(); }

    static ClipboardAttachment from(const QMimeData *data);
};
