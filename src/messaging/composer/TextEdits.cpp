#include "TextEdits.h"

#include <QQuickTextDocument>
#include <QTextCursor>
#include <QTextDocument>

#include <vector>

namespace {

// Code points (a lone surrogate stands for itself) and the UTF-16 offset of each, plus the end.
struct CodePoints {
    std::vector<char32_t> points;
    std::vector<qsizetype> offsets;

    explicit CodePoints(const QString &s)
    {
        points.reserve(size_t(s.size()));
        offsets.reserve(size_t(s.size()) + 1);
        for (qsizetype i = 0; i < s.size();) {
            offsets.push_back(i);
            const QChar c = s.at(i);
            if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
                points.push_back(QChar::surrogateToUcs4(c, s.at(i + 1)));
                i += 2;
            } else {
                points.push_back(c.unicode());
                ++i;
            }
        }
        offsets.push_back(s.size());
    }
    qsizetype size() const { return qsizetype(points.size()); }
};

// Beyond this many differing characters a correction is no longer a handful of fixes.
constexpr int maxDifferences = 200;

} // namespace

QList<TextEdits::Hunk> TextEdits::diff(const QString &from, const QString &to)
{
    const CodePoints a(from);
    const CodePoints b(to);
    auto hunk = [&](qsizetype x0, qsizetype x1, qsizetype y0, qsizetype y1) {
        return Hunk{a.offsets[size_t(x0)], a.offsets[size_t(x1)] - a.offsets[size_t(x0)],
                    to.mid(b.offsets[size_t(y0)], b.offsets[size_t(y1)] - b.offsets[size_t(y0)])};
    };

    qsizetype prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a.points[size_t(prefix)] == b.points[size_t(prefix)])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix
           && a.points[size_t(a.size() - 1 - suffix)] == b.points[size_t(b.size() - 1 - suffix)])
        ++suffix;
    const qsizetype n = a.size() - prefix - suffix;
    const qsizetype m = b.size() - prefix - suffix;
    if (n == 0 && m == 0)
        return {};
    auto A = [&](qsizetype i) { return a.points[size_t(prefix + i)]; };
    auto B = [&](qsizetype i) { return b.points[size_t(prefix + i)]; };

    // Myers' shortest edit script over the differing middle; v[k] is the furthest x on diagonal k.
    const qsizetype limit = std::min<qsizetype>(n + m, maxDifferences);
    const qsizetype offset = limit + 1;
    std::vector<qsizetype> v(size_t(2 * limit + 3), 0);
    std::vector<std::vector<qsizetype>> trace;
    bool found = false;
    for (qsizetype d = 0; d <= limit && !found; ++d) {
        trace.push_back(v);
        for (qsizetype k = -d; k <= d; k += 2) {
            qsizetype x = (k == -d || (k != d && v[size_t(offset + k - 1)] < v[size_t(offset + k + 1)]))
                ? v[size_t(offset + k + 1)]
                : v[size_t(offset + k - 1)] + 1;
            qsizetype y = x - k;
            while (x < n && y < m && A(x) == B(y)) {
                ++x;
                ++y;
            }
            v[size_t(offset + k)] = x;
            if (x >= n && y >= m) {
                found = true;
                break;
            }
        }
    }
    if (!found)
        return {hunk(prefix, prefix + n, prefix, prefix + m)};

    // Walk back from the end; every run of steps off the diagonal is one replacement.
    QList<Hunk> hunks;
    qsizetype x = n, y = m;
    qsizetype runEndX = -1, runEndY = -1;
    for (qsizetype d = qsizetype(trace.size()) - 1; d >= 0; --d) {
        const std::vector<qsizetype> &w = trace[size_t(d)];
        const qsizetype k = x - y;
        const qsizetype prevK = (k == -d || (k != d && w[size_t(offset + k - 1)] < w[size_t(offset + k + 1)])) ? k + 1 : k - 1;
        const qsizetype prevX = w[size_t(offset + prevK)];
        const qsizetype prevY = prevX - prevK;
        if (x > prevX && y > prevY && runEndX >= 0) {
            hunks.prepend(hunk(prefix + x, prefix + runEndX, prefix + y, prefix + runEndY));
            runEndX = -1;
        }
        while (x > prevX && y > prevY) {
            --x;
            --y;
        }
        if (d > 0) {
            if (runEndX < 0) {
                runEndX = x;
                runEndY = y;
            }
            x = prevX;
            y = prevY;
        }
    }
    if (runEndX >= 0)
        hunks.prepend(hunk(prefix + x, prefix + runEndX, prefix + y, prefix + runEndY));
    return hunks;
}

QString TextEdits::apply(const QString &from, const QList<Hunk> &hunks)
{
    QString text = from;
    for (auto it = hunks.crbegin(); it != hunks.crend(); ++it)
        text.replace(it->position, it->removed, it->inserted);
    return text;
}

void TextEdits::replace(QQuickTextDocument *document, const QString &text)
{
    QTextDocument *doc = document ? document->textDocument() : nullptr;
    if (!doc)
        return;
    const QList<Hunk> hunks = diff(doc->toPlainText(), text);
    if (hunks.isEmpty())
        return;
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    // From the end, so the positions still to come stay valid.
    for (auto it = hunks.crbegin(); it != hunks.crend(); ++it) {
        cursor.setPosition(int(it->position));
        cursor.setPosition(int(it->position + it->removed), QTextCursor::KeepAnchor);
        cursor.insertText(it->inserted);
    }
    cursor.endEditBlock();
}
