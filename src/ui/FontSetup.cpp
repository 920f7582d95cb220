#include "FontSetup.h"

#include "Icons.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>

namespace {

bool hasFamily(const QString &family)
{
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

// Fontconfig normally lists these; loading the files directly covers a session whose font cache
// has not caught up with a fresh install.
void ensureLoaded(const QString &family, const QStringList &files)
{
    if (hasFamily(family))
        return;
    for (const QString &file : files) {
        if (QFile::exists(file))
            QFontDatabase::addApplicationFont(file);
    }
}

} // namespace

namespace FontSetup {

QString emojiFamily()
{
    return QStringLiteral("Noto Color Emoji");
}

QStringList uiFamilies()
{
    QStringList families;
    if (hasFamily(QStringLiteral("Inter")))
        families << QStringLiteral("Inter");
    if (hasFamily(emojiFamily()))
        families << emojiFamily();
    return families;
}

void apply()
{
    const QString inter = QStringLiteral("/usr/share/fonts/opentype/inter/");
    ensureLoaded(QStringLiteral("Inter"),
                 {inter + QStringLiteral("Inter-Regular.otf"), inter + QStringLiteral("Inter-Medium.otf"), inter + QStringLiteral("Inter-SemiBold.otf"),
                  inter + QStringLiteral("Inter-Bold.otf")});
    ensureLoaded(Icons::fontFamily(),
                 {QStringLiteral("/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf")});
    ensureLoaded(emojiFamily(), {QStringLiteral("/usr/share/fonts/truetype/noto/NotoColorEmoji.ttf")});

    const QStringList families = uiFamilies();
    if (families.isEmpty())
        return;
    QFont font = QGuiApplication::font();
    font.setFamilies(families);
    QGuiApplication::setFont(font);
}

} // namespace FontSetup
