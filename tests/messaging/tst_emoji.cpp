#include "EmojiCatalog.h"
#include "FontSetup.h"

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QRawFont>
#include <QSet>
#include <QTest>
#include <QTextBoundaryFinder>
#include <QTextLayout>

namespace {

bool isOneGraphemeCluster(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    return !text.isEmpty() && finder.toNextBoundary() == text.size();
}

} // namespace

// The picker's emoji sets: order, counts, identity, and every entry a single picture. The picker's
// own use of them (tabs, grid, whole sequences) is checked in tests/qml.
class TestEmoji : public QObject
{
    Q_OBJECT

private slots:
    void categoriesInTabOrder()
    {
        const QList<EmojiCategory> all = EmojiCatalog::allCases();
        const QStringList keys = {"smileys", "gestures", "people", "animals", "food",
                                  "activities", "travel", "objects", "symbols", "flags"};
        const QStringList tabs = {"😀", "👋", "👨", "🐶", "🍎", "⚽", "🚗", "💡", "\u2764\uFE0F", "\U0001F3F3\uFE0F"};
        const QList<int> counts = {80, 40, 40, 40, 40, 40, 40, 40, 40, 40};
        QCOMPARE(all.size(), 10);
        for (int i = 0; i < all.size(); ++i) {
            QCOMPARE(EmojiCatalog::key(all[i]), keys[i]);
            QCOMPARE(EmojiCatalog::rawValue(all[i]), tabs[i]);
            QCOMPARE(EmojiCatalog::list(all[i]).size(), counts[i]);
            QCOMPARE(EmojiCatalog::fromRawValue(tabs[i]), all[i]);
            QCOMPARE(EmojiCatalog::fromKey(keys[i]), all[i]);
        }
        QCOMPARE(EmojiCatalog::list(EmojiCategory::Flags).last(), "🇸🇦");
    }

    void rawValuesAreExact()
    {
        for (const QString raw : {"\u2764", "\U0001F3F3", "smileys", "", "😀😀", "😃"})
            QVERIFY2(!EmojiCatalog::fromRawValue(raw), qPrintable(raw));
    }

    void everyEntryIsOnePicture()
    {
        for (EmojiCategory category : EmojiCatalog::allCases()) {
            const QStringList &list = EmojiCatalog::list(category);
            QCOMPARE(QSet<QString>(list.begin(), list.end()).size(), list.size());
            for (const QString &emoji : list) {
                QVERIFY2(isOneGraphemeCluster(emoji), qPrintable(EmojiCatalog::key(category) + ": " + emoji));
            }
        }
    }

    // With the application's fonts each entry is drawn as one colour glyph.
    void everyEntryShapesToOneColourGlyph()
    {
        FontSetup::apply();
        if (!QFontDatabase::families().contains(FontSetup::emojiFamily()))
            QSKIP("Noto Color Emoji is not installed");
        const QFont font = QGuiApplication::font();
        for (EmojiCategory category : EmojiCatalog::allCases()) {
            for (const QString &emoji : EmojiCatalog::list(category)) {
                QTextLayout layout(emoji, font);
                layout.beginLayout();
                layout.createLine();
                layout.endLayout();
                const auto runs = layout.glyphRuns();
                QVERIFY2(runs.size() == 1, qPrintable(emoji));
                QCOMPARE(runs.first().glyphIndexes().size(), 1);
                QCOMPARE(runs.first().rawFont().familyName(), FontSetup::emojiFamily());
            }
        }
    }
};

QTEST_MAIN(TestEmoji)
#include "tst_emoji.moc"
