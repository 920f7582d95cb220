#pragma once

#include <QByteArray>
#include <QString>

// The upload's multipart/form-data body: one part named "file", octet-stream, CRLF line ends.
QByteArray buildMultipartBody(const QString &boundary, const QString &fileName, const QByteArray &data);

// A file name as it may stand between the quotes of Content-Disposition: '"' → %22, CR → %0D,
// LF → %0A (what browsers do), everything else unchanged UTF-8.
QByteArray escapeMultipartFileName(const QString &fileName);
