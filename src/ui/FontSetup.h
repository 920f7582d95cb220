#pragma once

#include <QList>
#include <QStringList>

// Fonts of the application, set up once before the QML engine loads: Inter as the UI font when it
// is installed, the Material Icons font for symbols, and Noto Color Emoji as the first fallback so
// emoji draw in colour rather than from DejaVu's or Inter's monochrome glyphs. All are loaded as
// patched copies kept in the cache folder (see FontPatch); without them the stock fonts serve.
namespace FontSetup {

void apply();

// The parts of apply(): registering fonts, which may run on any thread (reading the font
// configuration alone takes about ten milliseconds), and making them the application's font, which
// belongs to the GUI thread. A screen without emoji needs only the first part; the emoji font and
// the patched UI font (loadRest) can follow once it is drawn.
void loadForFirstScreen();
void loadRest();
void use();

// One text size of a screen: the UI font (or the icon font) at a pixel size and weight.
struct TextStyle {
    int pixelSize;
    int weight = 400; // QFont::Weight
    bool icons = false;
};
// Sets up the font engines of these sizes ahead of the screen that uses them: each size and weight
// costs about half a millisecond of font matching and shaping set-up, which can run while the QML
// engine is still loading the screen's types on its own thread.
void prepare(const QList<TextStyle> &styles);

// The families the application font asks for, in order (only those installed).
QStringList uiFamilies();
QString uiFamily();
QString emojiFamily();
QString iconFamily();

} // namespace FontSetup
