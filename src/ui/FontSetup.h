#pragma once

#include <QStringList>

// Fonts of the application, set up once before the QML engine loads: Inter as the UI font when it
// is installed, the Material Icons font for symbols, and Noto Color Emoji as the first fallback so
// emoji draw in colour rather than from DejaVu's or Inter's monochrome glyphs. All are loaded as
// patched copies kept in the cache folder (see FontPatch); without them the stock fonts serve.
namespace FontSetup {

void apply();
// apply() in two steps, so that registering the emoji font and the patched UI font (a few
// milliseconds) can wait until the first screen is drawn.
void applyForFirstScreen();
void applyRest();

// The families the application font asks for, in order (only those installed).
QStringList uiFamilies();
QString uiFamily();
QString emojiFamily();
QString iconFamily();

} // namespace FontSetup
