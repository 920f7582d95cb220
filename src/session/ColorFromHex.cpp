#include "ColorFromHex.h"

#include <QTextBoundaryFinder>

namespace {

bool isLetterOrDigit(QChar c)
{
    return c.isLetterOrNumber() || c.isMark();
}

// Length in user-perceived characters: a combining mark or an emoji sequence counts once.
qsizetype graphemeCount(const QString &s)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Reads hexadecimal digits from the start as far as they go; saturates instead of wrapping on overflow.
quint64 scanHex(const QString &s)
{
    quint64 value = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const int d = hexDigit(s.at(i));
        if (d < 0)
            break;
        if (value > (std::numeric_limits<quint64>::max() >> 4))
            return std::numeric_limits<quint64>::max();
        value = (value << 4) | quint64(d);
    }
    return value;
}

} // namespace

QColor colorFromHex(const QString &hex)
{
    qsizetype begin = 0;
    qsizetype end = hex.size();
    while (begin < end && !isLetterOrDigit(hex.at(begin)))
        ++begin;
    while (end > begin && !isLetterOrDigit(hex.at(end - 1)))
        --end;
    const QString trimmed = hex.mid(begin, end - begin);
    const quint64 v = scanHex(trimmed);

    switch (graphemeCount(trimmed)) {
    case 8:
        return QColor(int((v >> 16) & 0xff), int((v >> 8) & 0xff), int(v & 0xff), int((v >> 24) & 0xff));
    case 6:
        return QColor(int((v >> 16) & 0xff), int((v >> 8) & 0xff), int(v & 0xff));
    case 3:
        return QColor(int((v >> 8) & 0xf) * 17, int((v >> 4) & 0xf) * 17, int(v & 0xf) * 17);
    default:
        return QColor(0, 0, 0);
    }
}
