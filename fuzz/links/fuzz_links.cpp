// Arbitrary text (as a message's content, attachment address and type) through the bubble's rules:
// link extraction, leftover file names, names and symbols from addresses, times, the first characters
// of a log line, and the search test. Checks what must hold for any input.
#include "TextRules.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool hasWhiteSpace(const QString &text)
{
    for (QChar c : text) {
        if (c.isSpace())
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    // Up to two separators split the input into content, attachment address and type.
    const QStringList parts = input.split(QChar(0x1F));
    const QString content = parts.value(0);
    const std::optional<QString> url = parts.size() > 1 ? std::optional<QString>(parts.at(1)) : std::nullopt;
    const std::optional<QString> type = parts.size() > 2 ? std::optional<QString>(parts.at(2)) : std::nullopt;
    const QString host = QStringLiteral("https://content.theorvane.example");

    if (const auto link = TextRules::extractedFileUrl(content, host)) {
        check(content.contains(*link));
        check(link->startsWith(QLatin1String("https://")));
        check(link->size() > 8);
        check(!hasWhiteSpace(*link));
    }
    if (const auto name = TextRules::extractedFileName(content)) {
        check(content.startsWith(QStringLiteral("\U0001F4CE")));
        check(!name->contains(QLatin1Char('\n')));
    }
    const QString fileName = TextRules::fileNameFromUrl(url.value_or(content));
    check(!fileName.isEmpty());
    TextRules::fileIconForUrl(content);
    TextRules::fileIcon(type);

    const auto bubble = TextRules::bubbleContent(content, url, type, std::nullopt, host);
    using Card = TextRules::BubbleContent::Card;
    check((bubble.card == Card::Download) == !bubble.cardUrl.isEmpty());
    check(bubble.text.isEmpty() || bubble.card == Card::None);
    check(bubble.text == bubble.text.trimmed());

    const QString time = TextRules::formattedTime(content);
    check(time.size() <= 5);
    const QString local = TextRules::conversationTime(content);
    check(local.isEmpty() || local.size() == 5);

    const qsizetype cut = TextRules::firstCharactersLength(content, 30);
    check(cut >= 0 && cut <= content.size());
    // A cut never leaves half of a surrogate pair behind.
    check(cut == 0 || cut == content.size() || !content.at(cut - 1).isHighSurrogate());

    check(TextRules::containsIgnoringCase(content, content.left(content.size() / 2)));
    return 0;
}
