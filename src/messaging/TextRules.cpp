#include "TextRules.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QStringList>
#include <QTimeZone>
#include <QUrl>

namespace TextRules {

namespace {

const QString paperclip = QStringLiteral("\U0001F4CE");

bool endsWithAny(const QString &text, std::initializer_list<const char *> suffixes)
{
    for (const char *suffix : suffixes) {
        if (text.endsWith(QLatin1String(suffix)))
            return true;
    }
    return false;
}

} // namespace

QString formattedTime(const std::optional<QString> &createdAt)
{
    if (!createdAt)
        return {};
    const qsizetype t = createdAt->indexOf(QLatin1Char('T'));
    if (t < 0)
        return {};
    return createdAt->mid(t + 1, 5);
}

QString conversationTime(const std::optional<QString> &lastMessageAt)
{
    if (!lastMessageAt)
        return {};
    // Exactly six fractional digits and a literal Z; anything else shows no time.
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2})\\.\\d{6}Z$"));
    const auto match = pattern.match(*lastMessageAt);
    if (!match.hasMatch())
        return {};
    // Read as UTC from the start: as local time, a stamp in a daylight-saving gap would not exist.
    const QDateTime when = QDateTime::fromString(match.captured(1) + QLatin1Char('Z'), Qt::ISODate);
    if (!when.isValid())
        return {};
    return when.toLocalTime().toString(QStringLiteral("HH:mm"));
}

QString contentHostPrefix(const QString &contentURL)
{
    const QUrl url(contentURL);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    return url.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo
                        | QUrl::StripTrailingSlash);
}

std::optional<QString> extractedFileUrl(const QString &content, const QString &contentHost)
{
    const auto options = QRegularExpression::UseUnicodePropertiesOption;
    if (!contentHost.isEmpty()) {
        // One expression per host; the host changes only between test runs.
        thread_local QString cachedHost;
        thread_local QRegularExpression hostLink;
        if (cachedHost != contentHost) {
            cachedHost = contentHost;
            hostLink = QRegularExpression(QRegularExpression::escape(contentHost) + QStringLiteral("/[^\\s]+"), options);
        }
        if (const auto m = hostLink.match(content); m.hasMatch())
            return m.captured(0);
    }
    static const QRegularExpression anyLink(QStringLiteral("https://[^\\s]+"), options);
    if (const auto m = anyLink.match(content); m.hasMatch())
        return m.captured(0);
    return std::nullopt;
}

std::optional<QString> extractedFileName(const QString &content)
{
    if (!content.startsWith(paperclip))
        return std::nullopt;
    QString rest = content;
    rest.remove(paperclip + QLatin1Char(' '));
    static const QRegularExpression lineBreak(QStringLiteral("[\\n\\r\\x{2028}\\x{2029}]"));
    const QString line = rest.section(lineBreak, 0, 0);
    const qsizetype paren = line.indexOf(QLatin1String(" ("));
    if (paren >= 0)
        return line.left(paren);
    qsizetype first = 0;
    qsizetype last = line.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (first < last && blank(line.at(first)))
        ++first;
    while (last > first && blank(line.at(last - 1)))
        --last;
    return line.mid(first, last - first);
}

QString fileIcon(const std::optional<QString> &attachmentType)
{
    if (!attachmentType)
        return QStringLiteral("doc");
    const QString &type = *attachmentType;
    if (type.startsWith(QLatin1String("image/")))
        return QStringLiteral("photo");
    if (type.startsWith(QLatin1String("video/")))
        return QStringLiteral("video");
    if (type.startsWith(QLatin1String("audio/")))
        return QStringLiteral("music.note");
    if (type.contains(QLatin1String("pdf")))
        return QStringLiteral("doc.text");
    if (type.contains(QLatin1String("zip")) || type.contains(QLatin1String("archive")))
        return QStringLiteral("doc.zipper");
    return QStringLiteral("doc");
}

QString fileIconForUrl(const QString &url)
{
    const QString lower = url.toLower();
    if (endsWithAny(lower, {".jpg", ".jpeg", ".png", ".gif", ".webp"}))
        return QStringLiteral("photo");
    if (endsWithAny(lower, {".mp4", ".mov", ".avi"}))
        return QStringLiteral("video");
    if (endsWithAny(lower, {".mp3", ".wav", ".m4a"}))
        return QStringLiteral("music.note");
    if (lower.endsWith(QLatin1String(".pdf")))
        return QStringLiteral("doc.text");
    if (endsWithAny(lower, {".zip", ".rar", ".7z"}))
        return QStringLiteral("doc.zipper");
    return QStringLiteral("doc");
}

QString fileNameFromUrl(const QString &url)
{
    const QString fallback = QStringLiteral("Файл");
    const QUrl parsed(url, QUrl::StrictMode);
    if (url.isEmpty() || !parsed.isValid() || parsed.scheme().isEmpty())
        return fallback;
    const QStringList parts = parsed.path(QUrl::FullyDecoded).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return fallback;
    const QString last = parts.last();
    const QStringList pieces = last.split(QLatin1Char('-'));
    const QString name = pieces.size() >= 3 ? pieces.mid(2).join(QLatin1Char('-')) : last;
    // "1-2-" leaves nothing to show; a card always gets a name.
    return name.isEmpty() ? fallback : name;
}

QString displayName(const std::optional<QString> &name, const std::optional<QString> &lastName,
                    const std::optional<QString> &username)
{
    if (name) {
        if (lastName && !lastName->isEmpty())
            return *name + QLatin1Char(' ') + *lastName;
        return *name;
    }
    if (username)
        return *username;
    return QStringLiteral("Unknown");
}

bool containsIgnoringCase(const QString &haystack, const QString &needle)
{
    if (needle.isEmpty())
        return true;
    const QLocale locale;
    // Full case folding handles Cyrillic and ß-like expansions; the locale decides dotted/dotless i.
    return locale.toLower(haystack).contains(locale.toLower(needle))
        || haystack.contains(needle, Qt::CaseInsensitive);
}

QString mimeTypeForFileName(const QString &fileName)
{
    const QString fallback = QStringLiteral("application/octet-stream");
    if (QFileInfo(fileName).suffix().isEmpty())
        return fallback;
    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault() || type.name().isEmpty())
        return fallback;
    return type.name();
}

namespace {
// Links carry names percent-encoded ("Project%20plan.txt"); people should read the name itself.
QString readableName(const QString &name)
{
    const QString decoded = QUrl::fromPercentEncoding(name.toUtf8());
    return decoded.isEmpty() ? name : decoded;
}
} // namespace

BubbleContent bubbleContent(const QString &content, const std::optional<QString> &attachmentUrl,
                            const std::optional<QString> &attachmentType,
                            const std::optional<QString> &attachmentFileName, const QString &contentHost)
{
    BubbleContent result;
    const bool startsWithClip = content.startsWith(paperclip);
    const std::optional<QString> link = extractedFileUrl(content, contentHost);
    // An empty address is no attachment: a card for it could never open anything.
    const bool attached = attachmentUrl && !attachmentUrl->isEmpty();
    if (attached) {
        result.card = BubbleContent::Card::Download;
        result.cardUrl = *attachmentUrl;
        result.cardName = readableName(attachmentFileName.value_or(fileNameFromUrl(*attachmentUrl)));
        result.cardIcon = fileIconForUrl(*attachmentUrl);
    } else if (link) {
        result.card = BubbleContent::Card::Download;
        result.cardUrl = *link;
        if (const auto name = extractedFileName(content))
            result.cardName = *name;
        else
            result.cardName = readableName(attachmentFileName.value_or(fileNameFromUrl(*link)));
        result.cardIcon = fileIconForUrl(*link);
    } else if (startsWithClip) {
        if (const auto name = extractedFileName(content)) {
            result.card = BubbleContent::Card::Unavailable;
            result.cardName = *name;
            result.cardIcon = fileIcon(attachmentType);
        }
    }
    if (!startsWithClip && !attached && !link)
        result.text = content.trimmed();
    return result;
}

} // namespace TextRules

#include <QTextBoundaryFinder>

namespace TextRules {
qsizetype firstCharactersLength(QStringView text, int count)
{
    if (text.size() <= count)
        return text.size();
    // Most text is Latin or Cyrillic without combining marks: there every code unit is one character.
    auto simple = [](char16_t c) {
        return (c >= 0x20 && c < 0x300) || (c >= 0x400 && c < 0x483) || (c >= 0x48A && c < 0x530);
    };
    bool plain = true;
    for (qsizetype i = 0; i <= count && plain; ++i)
        plain = simple(text.at(i).unicode());
    if (plain)
        return count;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    int seen = 0;
    qsizetype pos = 0;
    while (seen < count) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            return text.size();
        pos = next;
        ++seen;
    }
    return pos;
}
} // namespace TextRules
