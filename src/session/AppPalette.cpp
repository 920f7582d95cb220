#include "AppPalette.h"

#include "ColorFromHex.h"

namespace {

AppPalette make(std::initializer_list<const char *> hex, bool isDark)
{
    AppPalette p;
    QColor *fields[] = {&p.background, &p.foreground, &p.card, &p.cardForeground, &p.popover,
                        &p.popoverForeground, &p.primary, &p.primaryForeground, &p.secondary,
                        &p.secondaryForeground, &p.muted, &p.mutedForeground, &p.accent,
                        &p.accentForeground, &p.destructive, &p.border, &p.input, &p.ring};
    Q_ASSERT(hex.size() == std::size(fields));
    auto it = hex.begin();
    for (QColor *field : fields)
        *field = colorFromHex(QString::fromLatin1(*it++));
    p.isDark = isDark;
    return p;
}

} // namespace

const AppPalette &AppPalette::light()
{
    static const AppPalette palette = make({"fafafa", "18181b", "ffffff", "18181b", "ffffff", "18181b",
                                            "18181b", "fafafa", "f4f4f5", "18181b", "f4f4f5", "71717a",
                                            "f4f4f5", "18181b", "ef4444", "e4e4e7", "e4e4e7", "18181b"},
                                           false);
    return palette;
}

const AppPalette &AppPalette::dark()
{
    static const AppPalette palette = make({"09090b", "fafafa", "09090b", "fafafa", "09090b", "fafafa",
                                            "fafafa", "18181b", "27272a", "fafafa", "27272a", "a1a1aa",
                                            "27272a", "fafafa", "7f1d1d", "27272a", "27272a", "d4d4d8"},
                                           true);
    return palette;
}
