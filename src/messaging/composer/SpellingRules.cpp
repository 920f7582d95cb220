#include "SpellingRules.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTextBoundaryFinder>

#include <array>
#include <utility>

namespace SpellingRules {

namespace {

// Stands in for a protected token while the rules run: it is neither a letter, a digit nor white
// space, so no rule splits, joins or capitalises around it as if it were a word.
constexpr char16_t placeholder = u'\uFFFC';

char32_t codePointAt(const QString &text, qsizetype i, qsizetype *width)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        *width = 2;
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    }
    *width = 1;
    return c.unicode();
}

char32_t codePointBefore(const QString &text, qsizetype i)
{
    const QChar c = text.at(i - 1);
    if (c.isLowSurrogate() && i >= 2 && text.at(i - 2).isHighSurrogate())
        return QChar::surrogateToUcs4(text.at(i - 2), c);
    return c.unicode();
}

bool isHorizontalSpace(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

bool isApostrophe(char32_t c)
{
    return c == U'\'' || c == U'\u2019';
}

QString upperCased(char32_t cp)
{
    return QString::fromUcs4(&cp, 1).toUpper();
}

// Replaces each protected run of non-white-space by the placeholder; `tokens` keeps them in order.
QString protectTokens(const QString &text, QStringList &tokens)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.at(i).isSpace()) {
            out += text.at(i++);
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && !text.at(end).isSpace())
            ++end;
        const QStringView run = QStringView(text).mid(i, end - i);
        if (isProtectedToken(run) || run.contains(placeholder)) {
            tokens << run.toString();
            out += placeholder;
        } else {
            out += run;
        }
        i = end;
    }
    return out;
}

QString restoreTokens(const QString &text, const QStringList &tokens)
{
    if (tokens.isEmpty())
        return text;
    QString out;
    out.reserve(text.size() + 64);
    qsizetype next = 0;
    for (QChar c : text) {
        if (c == placeholder && next < tokens.size())
            out += tokens.at(next++);
        else
            out += c;
    }
    return out;
}

// A word the checker should see: letters (with their marks and inner apostrophes), no digits.
bool isCheckableWord(QStringView word)
{
    bool letter = false;
    for (qsizetype i = 0; i < word.size(); ++i) {
        char32_t cp = word.at(i).unicode();
        if (word.at(i).isHighSurrogate() && i + 1 < word.size() && word.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(word.at(i), word.at(i + 1));
            ++i;
        }
        if (QChar::isLetter(cp))
            letter = true;
        else if (!QChar::isMark(cp) && !isApostrophe(cp))
            return false;
    }
    return letter;
}

// An upper-case letter after the first one marks an abbreviation or a name ("JSON", "ИП", "ВКонтакте"):
// dictionaries do not know them and their suggestions ("SON", "ПИ") would only do harm.
bool hasInnerCapital(QStringView word)
{
    for (qsizetype i = 1; i < word.size(); ++i) {
        if (word.at(i).isUpper())
            return true;
    }
    return false;
}

// The first suggestion that may replace a word of `script`: only letters of that same script, with
// spaces, hyphens and apostrophes between them. A checker never turns a Russian word into an English
// one or the reverse.
QString acceptableSuggestion(const QStringList &suggestions, WordScript script)
{
    for (const QString &s : suggestions) {
        if (s.isEmpty() || scriptOf(s) != script)
            continue;
        bool ok = true;
        for (QChar c : s) {
            if (!(c.isLetter() || c.isMark() || c == u' ' || c == u'-' || isApostrophe(c.unicode())
                  || c.isSurrogate())) {
                ok = false;
                break;
            }
        }
        if (ok)
            return s;
    }
    return {};
}

struct Word {
    qsizetype start = -1;
    qsizetype length = 0;
    WordScript script = WordScript::Other;
};

// The first word at or after `offset` that the checker reports as misspelled.
Word nextMisspelled(const QString &text, qsizetype offset, WordChecker &checker)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    finder.setPosition(offset);
    if (!finder.isAtBoundary() && finder.toNextBoundary() < 0)
        return {};
    qsizetype start = finder.position();
    while (start < text.size()) {
        const qsizetype end = finder.toNextBoundary();
        if (end < 0)
            break;
        const QStringView word = QStringView(text).mid(start, end - start);
        if (isCheckableWord(word) && !hasInnerCapital(word)) {
            const WordScript script = scriptOf(word);
            if (script != WordScript::Other && checker.isMisspelled(word.toString(), script))
                return {start, end - start, script};
        }
        start = end;
    }
    return {};
}

bool spellCheck(QString &text, WordChecker &checker)
{
    bool changed = false;
    qsizetype offset = 0;
    while (offset < text.size()) {
        const Word word = nextMisspelled(text, offset, checker);
        if (word.start < 0)
            break;
        const QString original = text.mid(word.start, word.length);
        const QString fix = acceptableSuggestion(checker.suggestions(original, word.script), word.script);
        if (fix.isEmpty()) {
            offset = word.start + word.length;
            continue;
        }
        if (fix != original) {
            text.replace(word.start, word.length, fix);
            changed = true;
        }
        // Continue after the correction: it is not checked again.
        offset = word.start + fix.size();
    }
    return changed;
}

bool isWordCharBefore(const QString &text, qsizetype i)
{
    if (i == 0)
        return false;
    const char32_t cp = codePointBefore(text, i);
    return QChar::isLetterOrNumber(cp) || QChar::isMark(cp);
}

// The first occurrence of `needle`, ignoring case, that starts a word.
qsizetype findAtWordStart(const QString &text, const QString &needle)
{
    qsizetype from = 0;
    while (true) {
        const qsizetype at = text.indexOf(needle, from, Qt::CaseInsensitive);
        if (at < 0 || !isWordCharBefore(text, at))
            return at;
        from = at + 1;
    }
}

QString completionFor(const QString &completion, QChar firstReplaced)
{
    if (!firstReplaced.isUpper())
        return completion;
    QString c = completion;
    c[0] = c.at(0).toUpper();
    return c;
}

bool isClosingMark(QChar c)
{
    switch (c.unicode()) {
    case u'.': case u'!': case u'?': case u'\u2026': case u')': case u']': case u'"': case u'\'': case u'\u00BB':
        return true;
    default:
        return false;
    }
}

} // namespace

WordScript scriptOf(QStringView word)
{
    WordScript found = WordScript::Other;
    for (qsizetype i = 0; i < word.size(); ++i) {
        char32_t cp = word.at(i).unicode();
        if (word.at(i).isHighSurrogate() && i + 1 < word.size() && word.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(word.at(i), word.at(i + 1));
            ++i;
        }
        if (!QChar::isLetter(cp))
            continue;
        WordScript s = WordScript::Other;
        switch (QChar::script(cp)) {
        case QChar::Script_Cyrillic: s = WordScript::Cyrillic; break;
        case QChar::Script_Latin: s = WordScript::Latin; break;
        default: return WordScript::Other;
        }
        if (found != WordScript::Other && found != s)
            return WordScript::Other;
        found = s;
    }
    return found;
}

bool isProtectedToken(QStringView token)
{
    if (token.contains(u"://") || token.startsWith(u"www.", Qt::CaseInsensitive))
        return true;
    const qsizetype at = token.indexOf(u'@');
    if (at > 0) {
        const qsizetype dot = token.indexOf(u'.', at + 2);
        return dot > at + 1 && dot + 1 < token.size();
    }
    return false;
}

QString capitalizeAfterPunctuation(const QString &text, bool &changed)
{
    QString result;
    result.reserve(text.size());
    bool capitalizeNext = false;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype width = 1;
        const char32_t cp = codePointAt(text, i, &width);
        const QStringView chars = QStringView(text).mid(i, width);
        i += width;
        if (capitalizeNext && QChar::isLetter(cp)) {
            if (QChar::isLower(cp)) {
                const QString upper = upperCased(cp);
                result += upper;
                changed = changed || upper != chars;
            } else {
                result += chars;
            }
            capitalizeNext = false;
            continue;
        }
        result += chars;
        if (cp == U'.' || cp == U'!' || cp == U'?')
            capitalizeNext = true;
        else if (!QChar::isSpace(cp))
            capitalizeNext = false;
    }
    return result;
}

QString completeHyphenatedWords(const QString &input, bool &changed)
{
    static const std::array<std::pair<const char16_t *, const char16_t *>, 32> pairs = {{
        {u"что-", u"что-то"},         {u"как-", u"как-то"},         {u"кто-", u"кто-то"},
        {u"где-", u"где-то"},         {u"когда-", u"когда-то"},     {u"куда-", u"куда-то"},
        {u"откуда-", u"откуда-то"},   {u"почему-", u"почему-то"},   {u"зачем-", u"зачем-то"},
        {u"какой-", u"какой-то"},     {u"какая-", u"какая-то"},     {u"какое-", u"какое-то"},
        {u"какие-", u"какие-то"},     {u"чей-", u"чей-то"},         {u"чья-", u"чья-то"},
        {u"чьё-", u"чьё-то"},         {u"чьи-", u"чьи-то"},         {u"сколько-", u"сколько-то"},
        {u"кое-", u"кое-что"},        {u"всё-", u"всё-таки"},       {u"так-", u"так-то"},
        {u"еле-", u"еле-еле"},        {u"едва-", u"едва-едва"},     {u"чуть-", u"чуть-чуть"},
        {u"давным-", u"давным-давно"}, {u"мало-", u"мало-мальски"}, {u"волей-", u"волей-неволей"},
        {u"нежданно-", u"нежданно-негаданно"},
        {u"some-", u"something"},     {u"any-", u"anything"},       {u"no-", u"nothing"},
        {u"every-", u"everything"},
    }};
    static const std::array<QChar, 5> endings = {u' ', u'.', u',', u'!', u'?'};

    QString text = input;
    for (const auto &[incompleteForm, completionForm] : pairs) {
        const QString incomplete = QString::fromUtf16(incompleteForm);
        const QString completion = QString::fromUtf16(completionForm);
        // A form inside a longer word ("casino-", "company-") is not the pronoun: only a form that
        // starts a word is completed.
        for (QChar ending : endings) {
            const qsizetype at = findAtWordStart(text, incomplete + ending);
            if (at < 0)
                continue;
            text.replace(at, incomplete.size(), completionFor(completion, text.at(at)));
            changed = true;
        }
        const qsizetype tail = text.size() - incomplete.size();
        if (tail >= 0 && text.endsWith(incomplete, Qt::CaseInsensitive) && !isWordCharBefore(text, tail)) {
            text.replace(tail, incomplete.size(), completionFor(completion, text.at(tail)));
            changed = true;
        }
    }
    return text;
}

Result correct(const QString &input, WordChecker &checker)
{
    static const QRegularExpression spaceRun(QStringLiteral("  +"));
    static const std::array<std::pair<QRegularExpression, QString>, 4> spaceAfter = {{
        {QRegularExpression(QStringLiteral("\\,([^\\s\\d])"), QRegularExpression::UseUnicodePropertiesOption),
         QStringLiteral(", \\1")},
        {QRegularExpression(QStringLiteral("\\.([^\\s\\d\\.])"), QRegularExpression::UseUnicodePropertiesOption),
         QStringLiteral(". \\1")},
        {QRegularExpression(QStringLiteral("\\!([^\\s])"), QRegularExpression::UseUnicodePropertiesOption),
         QStringLiteral("! \\1")},
        {QRegularExpression(QStringLiteral("\\?([^\\s])"), QRegularExpression::UseUnicodePropertiesOption),
         QStringLiteral("? \\1")},
    }};
    static const std::array<std::pair<QString, QString>, 6> spaceBefore = {{
        {QStringLiteral(" ."), QStringLiteral(".")},
        {QStringLiteral(" ,"), QStringLiteral(",")},
        {QStringLiteral(" !"), QStringLiteral("!")},
        {QStringLiteral(" ?"), QStringLiteral("?")},
        {QStringLiteral(" :"), QStringLiteral(":")},
        {QStringLiteral(" ;"), QStringLiteral(";")},
    }};

    bool changed = false;
    QStringList tokens;
    QString text = protectTokens(input, tokens);

    // Runs of spaces become one.
    const qsizetype before = text.size();
    text.replace(spaceRun, QStringLiteral(" "));
    changed = changed || text.size() != before;

    // Spaces and tabs at both ends go; line breaks stay.
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isHorizontalSpace(text.at(first)))
        ++first;
    while (last > first && isHorizontalSpace(text.at(last - 1)))
        --last;
    if (first > 0 || last < text.size()) {
        text = text.mid(first, last - first);
        changed = true;
    }

    // A capital to begin with.
    if (!text.isEmpty()) {
        qsizetype width = 1;
        const char32_t cp = codePointAt(text, 0, &width);
        if (QChar::isLetter(cp) && QChar::isLower(cp)) {
            const QString upper = upperCased(cp);
            if (upper != QStringView(text).first(width)) {
                text.replace(0, width, upper);
                changed = true;
            }
        }
    }

    changed = spellCheck(text, checker) || changed;
    text = capitalizeAfterPunctuation(text, changed);

    for (const auto &[find, replace] : spaceBefore) {
        if (text.contains(find)) {
            text.replace(find, replace);
            changed = true;
        }
    }
    for (const auto &[pattern, templ] : spaceAfter) {
        const QString next = QString(text).replace(pattern, templ);
        if (next != text) {
            text = next;
            changed = true;
        }
    }

    text = completeHyphenatedWords(text, changed);

    // A closing full stop after the last visible character (before any trailing line breaks), unless
    // the text already closes with a mark or ends in a link, whose address must stay as it is.
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    if (end > 0 && !isClosingMark(text.at(end - 1)) && text.at(end - 1) != placeholder) {
        text.insert(end, u'.');
        changed = true;
    }

    QString out = restoreTokens(text, tokens);
    // Steps that undo one another are no correction: the notice must not claim one.
    changed = changed && out != input;
    return {std::move(out), changed};
}

QString noticeText(bool changed, bool english)
{
    if (changed)
        return english ? QStringLiteral("Spelling corrected") : QStringLiteral("Орфография исправлена");
    return english ? QStringLiteral("No errors found") : QStringLiteral("Ошибок не найдено");
}

} // namespace SpellingRules
