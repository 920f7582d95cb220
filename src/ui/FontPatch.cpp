#include "FontPatch.h"

#include <QtEndian>

#include <algorithm>
#include <optional>
#include <cstring>

namespace {

using FontPatch::Group;

quint16 u16(const QByteArray &d, qsizetype at) { return qFromBigEndian<quint16>(d.constData() + at); }
quint32 u32(const QByteArray &d, qsizetype at) { return qFromBigEndian<quint32>(d.constData() + at); }
void put16(QByteArray &d, qsizetype at, quint16 v) { qToBigEndian<quint16>(v, d.data() + at); }
void put32(QByteArray &d, qsizetype at, quint32 v) { qToBigEndian<quint32>(v, d.data() + at); }

quint32 checksum(QByteArray table)
{
    table.append((4 - table.size() % 4) % 4, '\0');
    quint32 sum = 0;
    for (qsizetype i = 0; i < table.size(); i += 4)
        sum += u32(table, i);
    return sum;
}

struct TableEntry {
    qsizetype recordAt = -1;
    quint32 offset = 0;
    quint32 length = 0;
};

TableEntry findTable(const QByteArray &font, const char tag[4])
{
    if (font.size() < 12)
        return {};
    const quint16 count = u16(font, 4);
    for (quint16 i = 0; i < count; ++i) {
        const qsizetype rec = 12 + 16 * qsizetype(i);
        if (rec + 16 > font.size())
            return {};
        if (std::memcmp(font.constData() + rec, tag, 4) == 0) {
            const TableEntry e{rec, u32(font, rec + 8), u32(font, rec + 12)};
            if (qsizetype(e.offset) + qsizetype(e.length) > font.size())
                return {};
            return e;
        }
    }
    return {};
}

// Offset of the format 12 subtable inside the cmap table, or -1.
qsizetype format12Offset(const QByteArray &cmap)
{
    if (cmap.size() < 4)
        return -1;
    const quint16 subtables = u16(cmap, 2);
    for (quint16 i = 0; i < subtables; ++i) {
        const qsizetype rec = 4 + 8 * qsizetype(i);
        if (rec + 8 > cmap.size())
            return -1;
        const quint16 platform = u16(cmap, rec), encoding = u16(cmap, rec + 2);
        const quint32 off = u32(cmap, rec + 4);
        const bool fullUnicode = (platform == 3 && encoding == 10) || (platform == 0 && (encoding == 4 || encoding == 6));
        if (fullUnicode && qsizetype(off) + 16 <= cmap.size() && u16(cmap, off) == 12) {
            const quint32 groups = u32(cmap, off + 12);
            if (qsizetype(off) + 16 + qsizetype(groups) * 12 <= cmap.size())
                return off;
        }
    }
    return -1;
}

// A copy of the font whose full-Unicode subtables map `groups`; the new cmap goes to the end.
QByteArray withUnicodeGroups(QByteArray font, const std::vector<Group> &groups)
{
    const TableEntry entry = findTable(font, "cmap");
    if (entry.recordAt < 0)
        return {};
    QByteArray cmap = font.mid(entry.offset, entry.length);
    const qsizetype old = format12Offset(cmap);
    if (old < 0)
        return {};

    cmap.append((4 - cmap.size() % 4) % 4, '\0');
    const quint32 fresh = quint32(cmap.size());
    QByteArray sub(16 + qsizetype(groups.size()) * 12, '\0');
    put16(sub, 0, 12);
    put32(sub, 4, quint32(sub.size()));
    put32(sub, 12, quint32(groups.size()));
    for (size_t i = 0; i < groups.size(); ++i) {
        put32(sub, 16 + qsizetype(i) * 12, groups[i].start);
        put32(sub, 20 + qsizetype(i) * 12, groups[i].end);
        put32(sub, 24 + qsizetype(i) * 12, groups[i].glyph);
    }
    cmap.append(sub);
    const quint16 subtables = u16(cmap, 2);
    for (quint16 i = 0; i < subtables; ++i) {
        const qsizetype rec = 4 + 8 * qsizetype(i);
        if (u32(cmap, rec + 4) == quint32(old))
            put32(cmap, rec + 4, fresh);
    }

    font.append((4 - font.size() % 4) % 4, '\0');
    const quint32 offset = quint32(font.size());
    font.append(cmap);
    font.append((4 - font.size() % 4) % 4, '\0');
    put32(font, entry.recordAt + 4, checksum(cmap));
    put32(font, entry.recordAt + 8, offset);
    put32(font, entry.recordAt + 12, quint32(cmap.size()));
    return font;
}

// Replaces a family name in every name record by one of the same length, so no offset moves.
void renameFamily(QByteArray &font, const QByteArray &from, const QByteArray &to)
{
    Q_ASSERT(from.size() == to.size());
    const TableEntry entry = findTable(font, "name");
    if (entry.recordAt < 0)
        return;
    QByteArray from16, to16;
    for (qsizetype i = 0; i < from.size(); ++i) {
        from16.append('\0').append(from.at(i));
        to16.append('\0').append(to.at(i));
    }
    QByteArray table = font.mid(entry.offset, entry.length);
    for (const auto &[a, b] : {std::pair{from, to}, std::pair{from16, to16}}) {
        for (qsizetype at = table.indexOf(a); at >= 0; at = table.indexOf(a, at + b.size()))
            table.replace(at, a.size(), b);
    }
    font.replace(entry.offset, entry.length, table);
    put32(font, entry.recordAt + 4, checksum(table));
}

std::optional<quint32> glyphFor(const std::vector<Group> &groups, quint32 cp)
{
    for (const Group &g : groups) {
        if (cp >= g.start && cp <= g.end)
            return g.glyph + (cp - g.start);
    }
    return std::nullopt;
}

bool keptInUiFont(quint32 cp)
{
    return cp < 0x100                         // ASCII and Latin-1: digits, #, *, ©, ®
        || (cp >= 0x2000 && cp <= 0x214F);    // punctuation and letter-like symbols: ‼, ⁉, ™
}

} // namespace

namespace FontPatch {

std::vector<Group> unicodeGroups(const QByteArray &font)
{
    const TableEntry entry = findTable(font, "cmap");
    if (entry.recordAt < 0)
        return {};
    const QByteArray cmap = font.mid(entry.offset, entry.length);
    const qsizetype sub = format12Offset(cmap);
    if (sub < 0)
        return {};
    std::vector<Group> groups;
    const quint32 count = u32(cmap, sub + 12);
    groups.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        const qsizetype at = sub + 16 + qsizetype(i) * 12;
        const Group g{u32(cmap, at), u32(cmap, at + 4), u32(cmap, at + 8)};
        if (g.end < g.start || (!groups.empty() && g.start <= groups.back().end))
            return {}; // unsorted or overlapping: not a mapping to edit
        groups.push_back(g);
    }
    return groups;
}

QByteArray patchEmojiFont(const QByteArray &font)
{
    std::vector<Group> groups = unicodeGroups(font);
    constexpr quint32 vs16 = 0xFE0F;
    const auto zwjGlyph = glyphFor(groups, 0x200D);
    if (groups.empty() || !zwjGlyph || glyphFor(groups, vs16))
        return {};
    const auto at = std::lower_bound(groups.begin(), groups.end(), vs16,
                                     [](const Group &g, quint32 cp) { return g.start < cp; });
    groups.insert(at, Group{vs16, vs16, *zwjGlyph});
    QByteArray patched = withUnicodeGroups(font, groups);
    if (!patched.isEmpty())
        renameFamily(patched, "Noto Color Emoji", emojiFamily);
    return patched;
}

QByteArray patchUiFont(const QByteArray &font, const std::vector<Group> &emojiGroups)
{
    const std::vector<Group> groups = unicodeGroups(font);
    if (groups.empty() || emojiGroups.empty())
        return {};
    std::vector<Group> kept;
    for (const Group &g : groups) {
        Group run{g.start, 0, g.glyph};
        bool open = false;
        for (quint64 cp = g.start; cp <= g.end; ++cp) {
            const quint32 glyph = g.glyph + quint32(cp - g.start);
            const bool drop = !keptInUiFont(quint32(cp)) && glyphFor(emojiGroups, quint32(cp)).has_value();
            if (drop) {
                if (open)
                    kept.push_back(run);
                open = false;
            } else if (!open) {
                run = {quint32(cp), quint32(cp), glyph};
                open = true;
            } else {
                run.end = quint32(cp);
            }
        }
        if (open)
            kept.push_back(run);
    }
    QByteArray patched = withUnicodeGroups(font, kept);
    if (!patched.isEmpty())
        renameFamily(patched, "Inter", uiFamily);
    return patched;
}

QByteArray patchIconFont(const QByteArray &font)
{
    QByteArray patched = font;
    renameFamily(patched, "Material Icons", iconFamily);
    return patched == font ? QByteArray() : patched;
}

} // namespace FontPatch
