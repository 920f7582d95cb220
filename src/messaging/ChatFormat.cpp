#include "ChatFormat.h"

#include <QLocale>

QString ChatFormat::fileSize(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}
