#include "FontSetup.h"

#include "FontPatch.h"
#include "Icons.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QSaveFile>
#include <QStandardPaths>

#include <functional>

namespace {

const QString systemEmojiFile = QStringLiteral("/usr/share/fonts/truetype/noto/NotoColorEmoji.ttf");
const QString iconFile = QStringLiteral("/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf");
const QString interDir = QStringLiteral("/usr/share/fonts/opentype/inter/");
const QStringList interWeights = {QStringLiteral("Regular"), QStringLiteral("Medium"), QStringLiteral("SemiBold"),
                                  QStringLiteral("Bold")};
constexpr int patchVersion = 1; // bump when FontPatch changes, so cached copies are rebuilt

struct Chosen {
    QString ui;
    QString emoji;
    QString icons;
    bool restLoaded = false;
};

Chosen &chosen()
{
    static Chosen c;
    return c;
}

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

QString cacheDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/theorvane-teams");
}

// A patched copy of `source` in the cache folder, keyed by the source's size and date, so it is
// built once per font update and FreeType reads it from disk like any installed font.
QString patchedCopy(const QString &source, const QString &prefix, const std::function<QByteArray(const QByteArray &)> &patch)
{
    const QFileInfo info(source);
    if (!info.exists())
        return {};
    const QString path = cacheDir()
        + QStringLiteral("/%1-v%2-%3-%4.%5")
              .arg(prefix)
              .arg(patchVersion)
              .arg(info.size())
              .arg(info.lastModified().toSecsSinceEpoch())
              .arg(info.suffix());
    if (QFile::exists(path))
        return path;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    const QByteArray patched = patch(in.readAll());
    if (patched.isEmpty() || !QDir().mkpath(cacheDir()))
        return {};
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(patched) != patched.size() || !out.commit())
        return {};
    return path;
}

bool addFont(const QString &path, const QString &family)
{
    if (path.isEmpty())
        return false;
    const int id = QFontDatabase::addApplicationFont(path);
    return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(family);
}

std::vector<FontPatch::Group> &emojiGroups()
{
    static std::vector<FontPatch::Group> groups;
    if (groups.empty()) {
        QFile in(systemEmojiFile);
        if (in.open(QIODevice::ReadOnly))
            groups = FontPatch::unicodeGroups(in.readAll());
    }
    return groups;
}

} // namespace

namespace FontSetup {

QString emojiFamily()
{
    return chosen().emoji.isEmpty() ? QStringLiteral("Noto Color Emoji") : chosen().emoji;
}

QString iconFamily()
{
    return chosen().icons.isEmpty() ? QStringLiteral("Material Icons") : chosen().icons;
}

QString uiFamily()
{
    return chosen().ui.isEmpty() ? QStringLiteral("Inter") : chosen().ui;
}

QStringList uiFamilies()
{
    QStringList families;
    if (hasFamily(uiFamily()))
        families << uiFamily();
    if (hasFamily(emojiFamily()))
        families << emojiFamily();
    return families;
}

static void setApplicationFamilies(const QStringList &families)
{
    if (families.isEmpty())
        return;
    QFont font = QGuiApplication::font();
    font.setFamilies(families);
    QGuiApplication::setFont(font);
}

void loadForFirstScreen()
{
    ensureLoaded(QStringLiteral("Inter"), {interDir + QStringLiteral("Inter-Regular.otf")});
    const QString icons = QString::fromLatin1(FontPatch::iconFamily);
    if (addFont(patchedCopy(iconFile, QStringLiteral("icons"), FontPatch::patchIconFont), icons))
        chosen().icons = icons;
    else
        ensureLoaded(iconFamily(), {iconFile});
}

void loadRest()
{
    ensureLoaded(QStringLiteral("Noto Color Emoji"), {systemEmojiFile});

    const QString emoji = QString::fromLatin1(FontPatch::emojiFamily);
    if (addFont(patchedCopy(systemEmojiFile, QStringLiteral("emoji"), FontPatch::patchEmojiFont), emoji))
        chosen().emoji = emoji;

    // Without the patched emoji font the UI font keeps its own emoji glyphs: better a black heart than none.
    if (!chosen().emoji.isEmpty()) {
        const QString ui = QString::fromLatin1(FontPatch::uiFamily);
        bool all = true;
        for (const QString &weight : interWeights) {
            const QString path = patchedCopy(interDir + QStringLiteral("Inter-") + weight + QStringLiteral(".otf"), QStringLiteral("ui-") + weight,
                                             [](const QByteArray &font) { return FontPatch::patchUiFont(font, emojiGroups()); });
            all = addFont(path, ui) && all;
        }
        if (all)
            chosen().ui = ui;
    }
    chosen().restLoaded = true;
}

void use()
{
    // Before loadRest() the UI font stands alone: the stock font draws text exactly like its patched
    // copy, which differs only in leaving emoji to the emoji font.
    if (chosen().restLoaded)
        setApplicationFamilies(uiFamilies());
    else if (hasFamily(uiFamily()))
        setApplicationFamilies({uiFamily()});
}

void prepare(const QList<TextStyle> &styles)
{
    // Shaping a few letters of both scripts (or one symbol) makes the engine and its shaping tables.
    const QString letters = QStringLiteral("Aa \u042F\u044F");
    const QString symbol = QString(QChar(0xE8F4));
    for (const TextStyle &style : styles) {
        QFont font;
        if (style.icons)
            font.setFamily(iconFamily());
        font.setPixelSize(style.pixelSize);
        font.setWeight(QFont::Weight(style.weight));
        QFontMetricsF(font).horizontalAdvance(style.icons ? symbol : letters);
    }
}

void apply()
{
    loadForFirstScreen();
    loadRest();
    use();
}

} // namespace FontSetup
