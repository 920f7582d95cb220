#pragma once

#include <QColor>
#include <QString>

// Builds a colour from a hexadecimal string such as "FCD34D", "#F00" or "80FF0000" (alpha first).
// Non-alphanumeric characters are trimmed from both ends; a length other than 3, 6 or 8 gives opaque black.
QColor colorFromHex(const QString &hex);
