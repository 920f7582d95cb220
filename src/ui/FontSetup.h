#pragma once

#include <QStringList>

// Fonts of the application, set up once before the QML engine loads: Inter as the UI font when it
// is installed, the Material Icons font for symbols, and Noto Color Emoji as the first fallback so
// emoji draw in colour rather than from DejaVu's monochrome glyphs.
namespace FontSetup {

void apply();

// The families the application font asks for, in order (only those installed).
QStringList uiFamilies();
QString emojiFamily();

} // namespace FontSetup
