#pragma once

#include <QString>

// The start of a text that a screen shows on one elided line. The rest never shows, yet laying it out
// costs: a name or a message preview from the server may be 64 KiB long.
inline QString oneLineStart(const QString &text, qsizetype limit = 1000)
{
    if (text.size() <= limit)
        return text;
    return text.left(text[limit - 1].isHighSurrogate() ? limit - 1 : limit);
}
