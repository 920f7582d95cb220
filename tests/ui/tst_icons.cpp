#include "FontSetup.h"
#include "Icons.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QRawFont>
#include <QTest>
#include <QTextLayout>

// Symbols and fonts as they reach the screen: every symbol name the screens use must draw a real
// glyph of the icon font, and emoji must come from the colour emoji font.
class TestIcons : public QObject
{
    Q_OBJECT

    // Families drawing the first `length` UTF-16 units of the text (all of it by default).
    static QStringList familiesUsed(const QString &text, int length = -1)
    {
        QTextLayout layout(text, QGuiApplication::font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        QStringList families;
        for (const QGlyphRun &run : layout.glyphRuns(0, length < 0 ? text.size() : length))
            families << run.rawFont().familyName();
        return families;
    }

private slots:
    void initTestCase() { FontSetup::apply(); }

    void screenSymbolsAreMapped_data()
    {
        QTest::addColumn<QString>("name");
        // Every symbol name the screens draw.
        const char *names[] = {
            "bubble.left.fill", "person.2.fill", "gearshape.fill", "person.circle.fill", "person.fill",
            "bubble.left.and.bubble.right", "eye", "eye.slash", "sun.max.fill", "moon.fill", "phone.fill",
            "phone.down.fill", "mic.fill", "mic.slash.fill", "mic.badge.plus", "speaker.wave.2.fill",
            "speaker.wave.3.fill", "speaker.slash.fill", "xmark", "exclamationmark.triangle",
            "magnifyingglass", "person.2", "message.fill", "message", "ellipsis", "safari",
            "rectangle.portrait.and.arrow.right", "checkmark", "checkmark.circle.fill",
            "exclamationmark.triangle.fill", "photo", "video", "music.note", "doc.text", "doc.zipper",
            "doc", "arrow.clockwise", "sparkles", "paperclip", "paperplane.fill", "face.smiling",
            "sidebar.left", "square.and.pencil", "arrow.down.circle"};
        for (const char *n : names)
            QTest::newRow(n) << QString::fromLatin1(n);
    }

    void screenSymbolsAreMapped()
    {
        QFETCH(QString, name);
        QVERIFY(Icons::isKnown(name));
        QVERIFY(Icons::codePoint(name) != Icons::fallbackCodePoint);
        QCOMPARE(Icons::glyph(name).toUcs4().size(), 1);
    }

    void everyGlyphExistsInTheFont()
    {
        QFont font(Icons::fontFamily());
        QRawFont raw = QRawFont::fromFont(font);
        QVERIFY2(raw.isValid(), "the Material Icons font is not installed");
        QCOMPARE(raw.familyName(), Icons::fontFamily());
        for (const QString &name : Icons::knownNames())
            QVERIFY2(raw.supportsCharacter(Icons::codePoint(name)), qPrintable(name));
        QVERIFY(raw.supportsCharacter(Icons::fallbackCodePoint));
    }

    void unknownNamesShowTheFallback()
    {
        QVERIFY(!Icons::isKnown("no.such.symbol"));
        QCOMPARE(Icons::codePoint("no.such.symbol"), Icons::fallbackCodePoint);
        QCOMPARE(Icons::codePoint(""), Icons::fallbackCodePoint);
    }

    void uiFontAndEmoji()
    {
        const QStringList families = FontSetup::uiFamilies();
        QVERIFY(!families.isEmpty());
        QCOMPARE(QGuiApplication::font().families(), families);
        if (!families.contains(FontSetup::emojiFamily()))
            QSKIP("Noto Color Emoji is not installed");
        // Emoji that DejaVu Sans also carries in black and white.
        for (const QString &emoji : {QStringLiteral("😀"), QStringLiteral("❄️"), QStringLiteral("✨")})
            QVERIFY2(familiesUsed(emoji, emoji.size() > 1 && emoji.at(0).isHighSurrogate() ? 2 : 1)
                         == QStringList{FontSetup::emojiFamily()},
                     qPrintable(emoji + QStringLiteral(" drawn with ") + familiesUsed(emoji).join(u',')));
        QVERIFY(!familiesUsed(QStringLiteral("Sign In")).contains(FontSetup::emojiFamily()));
        QVERIFY(!familiesUsed(QStringLiteral("Вход 2026")).contains(FontSetup::emojiFamily()));
    }
};

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
