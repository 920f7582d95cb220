#pragma once

#include <QString>

#include <optional>

// The text rules of conversations and bubbles: times, links to files, file names and symbols, names,
// search. Pure functions on Qt Core alone, so the fuzz build can compile this file by itself.
namespace TextRules {

// "HH:mm" clock text of a bubble: up to five characters after the first "T" of createdAt, as the server
// wrote them (no time-zone conversion); empty without a "T".
QString formattedTime(const std::optional<QString> &createdAt);

// Local "HH:mm" of a conversation's lastMessageAt written exactly as yyyy-MM-ddTHH:mm:ss.SSSSSSZ (UTC);
// empty for anything else.
QString conversationTime(const std::optional<QString> &lastMessageAt);

// scheme://host[:port] of the configured content address ("https://content.example/" gives
// "https://content.example"); empty when the address has no host.
QString contentHostPrefix(const QString &contentURL);

// The first link to the content host in the text, else the first https link, else nothing.
std::optional<QString> extractedFileUrl(const QString &content, const QString &contentHost);

// The file name of a leftover "📎 name (size)" text; nothing unless the text starts with the paperclip.
std::optional<QString> extractedFileName(const QString &content);

// Symbol names: "photo", "video", "music.note", "doc.text", "doc.zipper" or "doc".
QString fileIcon(const std::optional<QString> &attachmentType);
QString fileIconForUrl(const QString &url);

// The last path component of a link without the two "-"-separated tokens the server prefixes;
// "Файл" when the text is no valid address or names no file.
QString fileNameFromUrl(const QString &url);

// name + " " + lastName, else name, else username, else "Unknown".
QString displayName(const std::optional<QString> &name, const std::optional<QString> &lastName,
                    const std::optional<QString> &username);

// Case-insensitive substring test under the current locale's case rules (Cyrillic included).
bool containsIgnoringCase(const QString &haystack, const QString &needle);

// MIME type by the file name's extension; "application/octet-stream" when there is none or it is unknown.
QString mimeTypeForFileName(const QString &fileName);

// What a bubble shows for one message.
struct BubbleContent {
    enum class Card { None, Download, Unavailable };
    Card card = Card::None;
    QString cardUrl;
    QString cardName;
    QString cardIcon;
    QString text; // empty when no text is shown

    bool operator==(const BubbleContent &) const = default;
};

BubbleContent bubbleContent(const QString &content, const std::optional<QString> &attachmentUrl,
                            const std::optional<QString> &attachmentType,
                            const std::optional<QString> &attachmentFileName, const QString &contentHost);

} // namespace TextRules

namespace TextRules {
// The length of the first `count` user-perceived characters (grapheme clusters), so a cut never splits
// an emoji.
qsizetype firstCharactersLength(QStringView text, int count);
} // namespace TextRules
