#include "FontSetup.h"
#include "Icons.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QRawFont>
#include <QTest>

// Every symbol name the screens use must draw a real glyph of the icon font.
class TestIcons : public QObject
{
    Q_OBJECT

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
};

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
