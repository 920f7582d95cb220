#include "EmojiCatalog.h"
#include "FontSetup.h"

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QRawFont>
#include <QSet>
#include <QTest>
#include <QTextLayout>

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

    // No entry repeats, and with the application's fonts each is drawn as one colour glyph (an entry that
    // lost its joiners is two pictures).
    void everyEntryIsOneColourGlyph()
    {
        FontSetup::apply();
        const bool colourFont = QFontDatabase::families().contains(FontSetup::emojiFamily());
        const QFont font = QGuiApplication::font();
        for (EmojiCategory category : EmojiCatalog::allCases()) {
            const QStringList &list = EmojiCatalog::list(category);
            QCOMPARE(QSet<QString>(list.begin(), list.end()).size(), list.size());
            for (const QString &emoji : colourFont ? list : QStringList()) {
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
        if (!colourFont)
            QSKIP("Noto Color Emoji is not installed");
    }
};

QTEST_MAIN(TestEmoji)
#include "tst_emoji.moc"
