// Arbitrary text through the text rules: nothing may crash, hang or lose a link.
#include "SpellingRules.h"

#ifdef FUZZ_BUBBLE_RULES
#include "TextRules.h"
#endif

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

// Flags every word of odd length and offers odd rewrites (longer, shorter, another script, spaces),
// so the spelling loop's offsets see every kind of replacement.
class RewritingChecker final : public WordChecker
{
public:
    bool isMisspelled(const QString &word, WordScript) override { return word.size() % 2 == 1; }
    QStringList suggestions(const QString &word, WordScript script) override
    {
        switch (word.size() % 4) {
        case 1: return {word + QStringLiteral(" ") + word};
        case 3: return {script == WordScript::Latin ? QStringLiteral("тест") : QStringLiteral("test"), word.left(1)};
        default: return {};
        }
    }
};

QStringList protectedTokens(const QString &text)
{
    QStringList tokens;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.at(i).isSpace()) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && !text.at(end).isSpace())
            ++end;
        const QStringView run = QStringView(text).mid(i, end - i);
        if (SpellingRules::isProtectedToken(run))
            tokens << run.toString();
        i = end;
    }
    return tokens;
}

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0 || size > 4096)
        return 0;
    // First byte: how to read the rest. Raw UTF-16 lets lone surrogates through, as a broken paste might.
    const bool utf16 = data[0] & 1;
    const QString text = utf16 ? QString::fromUtf16(reinterpret_cast<const char16_t *>(data + 1), qsizetype((size - 1) / 2))
                               : QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    NoWordChecker none;
    const auto plain = SpellingRules::correct(text, none);
    RewritingChecker rewriting;
    const auto rewritten = SpellingRules::correct(text, rewriting);
    for (const QString &token : protectedTokens(text)) {
        check(plain.text.contains(token));
        check(rewritten.text.contains(token));
    }
    check(plain.changed == (plain.text != text));
    check(rewritten.changed == (rewritten.text != text));

    bool changed = false;
    const QString capitalized = SpellingRules::capitalizeAfterPunctuation(text, changed);
    check(changed == (capitalized != text));
    changed = false;
    const QString completed = SpellingRules::completeHyphenatedWords(text, changed);
    check(completed.size() >= text.size());
    check(changed || completed == text);

#ifdef FUZZ_BUBBLE_RULES
    if (const auto url = TextRules::extractedFileUrl(text, QStringLiteral("https://content.example")))
        check(url->startsWith(QLatin1String("https://")) && text.contains(*url));
    (void)TextRules::extractedFileName(text);
    check(!TextRules::fileNameFromUrl(text).isEmpty());
    (void)TextRules::fileIconForUrl(text);
    (void)TextRules::formattedTime(text);
#endif
    return 0;
}
