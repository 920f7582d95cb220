#include "FontPatch.h"
#include "FontSetup.h"

#include <QFile>
#include <QGuiApplication>
#include <QRawFont>
#include <QTest>
#include <QTextLayout>

#include <thread>

namespace {

// Families drawing the text, and the glyph count, as the screen would lay it out.
struct Shaped {
    QStringList families;
    int glyphs = 0;
};

Shaped shape(const QString &text, QFont font = QGuiApplication::font())
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    Shaped s;
    for (const QGlyphRun &run : layout.glyphRuns()) {
        s.families << run.rawFont().familyName();
        s.glyphs += int(run.glyphIndexes().size());
    }
    return s;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// Emoji in the colour font, text in the UI font, whole emoji sequences as one picture.
class TestFonts : public QObject
{
    Q_OBJECT

    QByteArray m_emoji;
    QByteArray m_inter;

private slots:
    void initTestCase()
    {
        m_emoji = readFile(QStringLiteral("/usr/share/fonts/truetype/noto/NotoColorEmoji.ttf"));
        m_inter = readFile(QStringLiteral("/usr/share/fonts/opentype/inter/Inter-Regular.otf"));
        if (m_emoji.isEmpty() || m_inter.isEmpty())
            QSKIP("Noto Color Emoji or Inter is not installed");
        // As the application starts: fonts registered on another thread, then made the application's here.
        std::thread loader([] {
            FontSetup::loadForFirstScreen();
            FontSetup::loadRest();
        });
        loader.join();
        FontSetup::use();
    }

    // What the patched fonts draw is checked through the application font below; patching is done once.
    void patchingTwiceFindsNothingToDo()
    {
        const QByteArray patched = FontPatch::patchEmojiFont(m_emoji);
        QVERIFY(!patched.isEmpty());
        QVERIFY(FontPatch::patchEmojiFont(patched).isEmpty());
    }

    void malformedInputIsRefused_data()
    {
        QTest::addColumn<QByteArray>("font");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("short") << QByteArray("OTTO");
        QTest::newRow("text") << QByteArray(4096, 'x');
        QByteArray truncated = m_inter.left(600);
        QTest::newRow("truncated font") << truncated;
    }

    void malformedInputIsRefused()
    {
        QFETCH(QByteArray, font);
        QVERIFY(FontPatch::unicodeGroups(font).empty());
        QVERIFY(FontPatch::patchEmojiFont(font).isEmpty());
        QVERIFY(FontPatch::patchUiFont(font, FontPatch::unicodeGroups(m_emoji)).isEmpty());
        QVERIFY(FontPatch::patchIconFont(font).isEmpty());
    }

    void applicationFontDrawsEmojiInColour_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("glyphs");
        QTest::newRow("red heart") << QStringLiteral("❤️") << 1;
        QTest::newRow("sun") << QStringLiteral("☀️") << 1;
        QTest::newRow("warning sign") << QStringLiteral("⚠️") << 1;
        QTest::newRow("heart suit") << QStringLiteral("♥️") << 1;
        QTest::newRow("grinning face") << QStringLiteral("😀") << 1;
        QTest::newRow("rainbow flag") << QStringLiteral("🏳️\u200d🌈") << 1;
        QTest::newRow("heart on fire") << QStringLiteral("❤️\u200d🔥") << 1;
        QTest::newRow("family") << QStringLiteral("👨\u200d👩\u200d👧") << 1;
        QTest::newRow("flag pair") << QStringLiteral("🇷🇺") << 1;
    }

    void applicationFontDrawsEmojiInColour()
    {
        QFETCH(QString, text);
        QFETCH(int, glyphs);
        QCOMPARE(FontSetup::emojiFamily(), "Orvn Color Emoji");
        const Shaped s = shape(text);
        QCOMPARE(s.families, QStringList{FontSetup::emojiFamily()});
        QCOMPARE(s.glyphs, glyphs);
        QFont bold = QGuiApplication::font();
        bold.setWeight(QFont::Bold);
        QCOMPARE(shape(text, bold).families, QStringList{FontSetup::emojiFamily()});
    }

    void textStaysInTheUiFont()
    {
        QCOMPARE(FontSetup::uiFamily(), "OrvUI");
        QCOMPARE(QGuiApplication::font().families(), (QStringList{"OrvUI", "Orvn Color Emoji"}));
        for (const QString &text : {QStringLiteral("Sign In"), QStringLiteral("Вход в систему"), QStringLiteral("© ® ™ ‼ 2026 #1 * → 99")})
            QCOMPARE(shape(text).families, QStringList{"OrvUI"});
        QFont medium = QGuiApplication::font();
        medium.setWeight(QFont::Medium);
        QCOMPARE(QRawFont::fromFont(medium).weight(), int(QFont::Medium));
    }
};

QTEST_MAIN(TestFonts)
#include "tst_fonts.moc"
