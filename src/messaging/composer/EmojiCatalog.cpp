#include "EmojiCatalog.h"

#include <QJSEngine>
#include <QVariantMap>

#include <array>

namespace {

struct Category {
    EmojiCategory category;
    const char16_t *key;
    const char16_t *tab;
    QStringList emojis;
};

QStringList make(std::initializer_list<const char16_t *> entries)
{
    QStringList list;
    list.reserve(qsizetype(entries.size()));
    for (const char16_t *e : entries)
        list << QString::fromUtf16(e);
    return list;
}

// Variation selectors (U+FE0F) are written out where the entry needs one; U+200D joins the parts of
// a ZWJ sequence, so a sequence never falls apart into its components.
const std::array<Category, 10> &table()
{
    static const std::array<Category, 10> categories = {{
        {EmojiCategory::Smileys, u"smileys", u"😀", make({
            u"😀", u"😃", u"😄", u"😁", u"😆", u"😅", u"🤣", u"😂", u"🙂", u"🙃",
            u"😉", u"😊", u"😇", u"🥰", u"😍", u"🤩", u"😘", u"😗", u"😚", u"😙",
            u"🥲", u"😋", u"😛", u"😜", u"🤪", u"😝", u"🤑", u"🤗", u"🤭", u"🤫",
            u"🤔", u"🤐", u"🤨", u"😐", u"😑", u"😶", u"😏", u"😒", u"🙄", u"😬",
            u"😮\u200D💨", u"🤥", u"😌", u"😔", u"😪", u"🤤", u"😴", u"😷", u"🤒", u"🤕",
            u"🤢", u"🤮", u"🤧", u"🥵", u"🥶", u"🥴", u"😵", u"🤯", u"🤠", u"🥳",
            u"🥸", u"😎", u"🤓", u"🧐", u"😕", u"😟", u"🙁", u"☹️", u"😮", u"😯",
            u"😲", u"😳", u"🥺", u"😦", u"😧", u"😨", u"😰", u"😥", u"😢", u"😭",
        })},
        {EmojiCategory::Gestures, u"gestures", u"👋", make({
            u"👋", u"🤚", u"🖐", u"✋", u"🖖", u"👌", u"🤌", u"🤏", u"✌️", u"🤞",
            u"🤟", u"🤘", u"🤙", u"👈", u"👉", u"👆", u"🖕", u"👇", u"☝️", u"👍",
            u"👎", u"✊", u"👊", u"🤛", u"🤜", u"👏", u"🙌", u"👐", u"🤲", u"🤝",
            u"🙏", u"✍️", u"💅", u"🤳", u"💪", u"🦾", u"🦿", u"🦵", u"🦶", u"👂",
        })},
        {EmojiCategory::People, u"people", u"👨", make({
            u"👶", u"👧", u"🧒", u"👦", u"👩", u"🧑", u"👨", u"👩\u200D🦱", u"🧑\u200D🦱", u"👨\u200D🦱",
            u"👩\u200D🦰", u"🧑\u200D🦰", u"👨\u200D🦰", u"👱\u200D♀️", u"👱", u"👱\u200D♂️", u"👩\u200D🦳", u"🧑\u200D🦳", u"👨\u200D🦳", u"👩\u200D🦲",
            u"🧑\u200D🦲", u"👨\u200D🦲", u"🧔\u200D♀️", u"🧔", u"🧔\u200D♂️", u"👵", u"🧓", u"👴", u"👲", u"👳\u200D♀️",
            u"👳", u"👳\u200D♂️", u"🧕", u"👮\u200D♀️", u"👮", u"👮\u200D♂️", u"👷\u200D♀️", u"👷", u"👷\u200D♂️", u"💂\u200D♀️",
        })},
        {EmojiCategory::Animals, u"animals", u"🐶", make({
            u"🐶", u"🐱", u"🐭", u"🐹", u"🐰", u"🦊", u"🐻", u"🐼", u"🐻\u200D❄️", u"🐨",
            u"🐯", u"🦁", u"🐮", u"🐷", u"🐽", u"🐸", u"🐵", u"🙈", u"🙉", u"🙊",
            u"🐒", u"🐔", u"🐧", u"🐦", u"🐤", u"🐣", u"🐥", u"🦆", u"🦅", u"🦉",
            u"🦇", u"🐺", u"🐗", u"🐴", u"🦄", u"🐝", u"🪱", u"🐛", u"🦋", u"🐌",
        })},
        {EmojiCategory::Food, u"food", u"🍎", make({
            u"🍎", u"🍐", u"🍊", u"🍋", u"🍌", u"🍉", u"🍇", u"🍓", u"🫐", u"🍈",
            u"🍒", u"🍑", u"🥭", u"🍍", u"🥥", u"🥝", u"🍅", u"🍆", u"🥑", u"🥦",
            u"🥬", u"🥒", u"🌶", u"🫑", u"🌽", u"🥕", u"🫒", u"🧄", u"🧅", u"🥔",
            u"🍠", u"🥐", u"🥯", u"🍞", u"🥖", u"🥨", u"🧀", u"🥚", u"🍳", u"🧈",
        })},
        {EmojiCategory::Activities, u"activities", u"⚽", make({
            u"⚽", u"🏀", u"🏈", u"⚾", u"🥎", u"🎾", u"🏐", u"🏉", u"🥏", u"🎱",
            u"🪀", u"🏓", u"🏸", u"🏒", u"🏑", u"🥍", u"🏏", u"🪃", u"🥅", u"⛳",
            u"🪁", u"🏹", u"🎣", u"🤿", u"🥊", u"🥋", u"🎽", u"🛹", u"🛼", u"🛷",
            u"⛸", u"🥌", u"🎿", u"⛷", u"🏂", u"🪂", u"🏋️\u200D♀️", u"🏋️", u"🏋️\u200D♂️", u"🤼\u200D♀️",
        })},
        {EmojiCategory::Travel, u"travel", u"🚗", make({
            u"🚗", u"🚕", u"🚙", u"🚌", u"🚎", u"🏎", u"🚓", u"🚑", u"🚒", u"🚐",
            u"🛻", u"🚚", u"🚛", u"🚜", u"🦯", u"🦽", u"🦼", u"🛴", u"🚲", u"🛵",
            u"🏍", u"🛺", u"🚨", u"🚔", u"🚍", u"🚘", u"🚖", u"🚡", u"🚠", u"🚟",
            u"🚃", u"🚋", u"🚞", u"🚝", u"🚄", u"🚅", u"🚈", u"🚂", u"🚆", u"🚇",
        })},
        {EmojiCategory::Objects, u"objects", u"💡", make({
            u"💡", u"🔦", u"🏮", u"🪔", u"📱", u"📲", u"💻", u"⌨️", u"🖥", u"🖨",
            u"🖱", u"🖲", u"💽", u"💾", u"💿", u"📀", u"🧮", u"🎥", u"🎞", u"📽",
            u"🎬", u"📺", u"📷", u"📸", u"📹", u"📼", u"🔍", u"🔎", u"🕯", u"💰",
            u"🪙", u"💴", u"💵", u"💶", u"💷", u"💳", u"💎", u"⚖️", u"🪜", u"🧰",
        })},
        {EmojiCategory::Symbols, u"symbols", u"❤\uFE0F", make({
            u"❤️", u"🧡", u"💛", u"💚", u"💙", u"💜", u"🖤", u"🤍", u"🤎", u"💔",
            u"❤️\u200D🔥", u"❤️\u200D🩹", u"❣️", u"💕", u"💞", u"💓", u"💗", u"💖", u"💘", u"💝",
            u"✨", u"⭐", u"🌟", u"💫", u"⚡", u"🔥", u"💥", u"☀️", u"🌈", u"☁️",
            u"❄️", u"💧", u"🌊", u"✅", u"❌", u"⭕", u"❓", u"❗", u"💯", u"🎵",
        })},
        {EmojiCategory::Flags, u"flags", u"🏳\uFE0F", make({
            u"🏳️", u"🏴", u"🏁", u"🚩", u"🏳️\u200D🌈", u"🏳️\u200D⚧️", u"🇺🇳", u"🇷🇺", u"🇺🇸", u"🇬🇧",
            u"🇩🇪", u"🇫🇷", u"🇮🇹", u"🇪🇸", u"🇯🇵", u"🇨🇳", u"🇰🇷", u"🇧🇷", u"🇮🇳", u"🇨🇦",
            u"🇦🇺", u"🇲🇽", u"🇹🇷", u"🇳🇱", u"🇧🇪", u"🇨🇭", u"🇦🇹", u"🇸🇪", u"🇳🇴", u"🇩🇰",
            u"🇫🇮", u"🇵🇱", u"🇺🇦", u"🇨🇿", u"🇬🇷", u"🇵🇹", u"🇮🇪", u"🇮🇱", u"🇦🇪", u"🇸🇦",
        })},
    }};
    return categories;
}

const Category &entry(EmojiCategory category)
{
    return table()[size_t(category)];
}

} // namespace

EmojiCatalog::EmojiCatalog(QObject *parent)
    : QObject(parent)
{
}

EmojiCatalog *EmojiCatalog::create(QQmlEngine *, QJSEngine *engine)
{
    auto *catalog = new EmojiCatalog;
    QJSEngine::setObjectOwnership(catalog, QJSEngine::CppOwnership);
    catalog->setParent(engine);
    return catalog;
}

QList<EmojiCategory> EmojiCatalog::allCases()
{
    QList<EmojiCategory> cases;
    for (const Category &c : table())
        cases << c.category;
    return cases;
}

QString EmojiCatalog::key(EmojiCategory category)
{
    return QString::fromUtf16(entry(category).key);
}

QString EmojiCatalog::rawValue(EmojiCategory category)
{
    return QString::fromUtf16(entry(category).tab);
}

std::optional<EmojiCategory> EmojiCatalog::fromRawValue(QStringView raw)
{
    for (const Category &c : table()) {
        if (raw == QStringView(c.tab))
            return c.category;
    }
    return std::nullopt;
}

std::optional<EmojiCategory> EmojiCatalog::fromKey(QStringView key)
{
    for (const Category &c : table()) {
        if (key == QStringView(c.key))
            return c.category;
    }
    return std::nullopt;
}

const QStringList &EmojiCatalog::list(EmojiCategory category)
{
    return entry(category).emojis;
}

QVariantList EmojiCatalog::categories() const
{
    QVariantList result;
    for (const Category &c : table())
        result << QVariantMap{{QStringLiteral("key"), QString::fromUtf16(c.key)}, {QStringLiteral("tab"), QString::fromUtf16(c.tab)}};
    return result;
}

QStringList EmojiCatalog::emojis(const QString &key) const
{
    const auto category = fromKey(key);
    return category ? list(*category) : QStringList();
}
