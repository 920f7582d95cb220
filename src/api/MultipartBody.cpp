#include "MultipartBody.h"

QByteArray escapeMultipartFileName(const QString &fileName)
{
    QByteArray out = fileName.toUtf8();
    out.replace('"', "%22");
    out.replace('\r', "%0D");
    out.replace('\n', "%0A");
    return out;
}

QByteArray buildMultipartBody(const QString &boundary, const QString &fileName, const QByteArray &data)
{
    const QByteArray b = boundary.toUtf8();
    QByteArray body;
    body.reserve(data.size() + 256);
    body += "--" + b + "\r\n";
    body += "Content-Disposition: form-data; name=\"file\"; filename=\"" + escapeMultipartFileName(fileName) + "\"\r\n";
    body += "Content-Type: application/octet-stream\r\n\r\n";
    body += data;
    body += "\r\n";
    body += "--" + b + "--\r\n";
    return body;
}
