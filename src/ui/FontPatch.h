#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// Small edits of OpenType fonts so that emoji draw in colour under Qt 6.4's font fallback.
//
// Qt gives each character to the first font of the chain that maps it. Two things go wrong with the
// stock fonts: Noto Color Emoji maps no U+FE0F, so the emoji variation selector goes to DejaVu Sans
// and sequences such as "🏳️‍🌈" fall apart into two pictures; and Inter carries monochrome glyphs for
// a few emoji (❤ ☀ ⚠ …), so "❤️" stays a black text heart. The edits: the emoji font also maps
// U+FE0F (to the empty glyph of U+200D), and the UI font drops the code points that the emoji font
// draws (ASCII, Latin-1 and the punctuation and letter-like blocks stay). Both get a family name
// of their own so they never replace the installed fonts.
namespace FontPatch {

struct Group {
    quint32 start;
    quint32 end;
    quint32 glyph;
};

inline constexpr auto emojiFamily = "Orvn Color Emoji"; // same length as "Noto Color Emoji"
inline constexpr auto uiFamily = "OrvUI";              // same length as "Inter"
inline constexpr auto iconFamily = "Orvane Symbols";   // same length as "Material Icons"

// The mapping of the font's full-Unicode (format 12) cmap subtable; empty when it has none.
std::vector<Group> unicodeGroups(const QByteArray &font);

// The patched fonts, or an empty array when the input is not a font these edits understand.
QByteArray patchEmojiFont(const QByteArray &font);
QByteArray patchUiFont(const QByteArray &font, const std::vector<Group> &emojiGroups);
// The icon font under a name of its own. Fontconfig prefers the package's WOFF2 copy of Material
// Icons, which FreeType must decompress on every start; a renamed TTF is matched exactly instead.
QByteArray patchIconFont(const QByteArray &font);

} // namespace FontPatch
