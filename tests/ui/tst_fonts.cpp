#include "FontPatch.h"
#include "FontSetup.h"
#include "Icons.h"

#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QRawFont>
#include <QRegularExpression>
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

// Emoji in the colour font, text in the UI font, whole emoji sequences as one picture; every symbol name
// the screens use draws a real glyph of the icon font.
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
        QVERIFY2(!m_emoji.isEmpty() && !m_inter.isEmpty(), "Noto Color Emoji or Inter is not installed (scripts/setup)");
        // As the application starts: fonts registered on another thread, then made the application's here.
        std::thread loader([] {
            FontSetup::loadForFirstScreen();
            FontSetup::loadRest();
        });
        loader.join();
        FontSetup::use();
    }

    void malformedInputIsRefused_data()
    {
        QTest::addColumn<QByteArray>("font");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("short") << QByteArray("OTTO");
        QTest::newRow("text") << QByteArray(4096, 'x');
        QTest::newRow("truncated font") << m_inter.left(600);
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
        const Shaped s = shape(text);
        QCOMPARE(s.families, QStringList{FontSetup::emojiFamily()});
        QCOMPARE(s.glyphs, glyphs);
        QFont bold = QGuiApplication::font();
        bold.setWeight(QFont::Bold);
        QCOMPARE(shape(text, bold).families, QStringList{FontSetup::emojiFamily()});
    }

    void textStaysInTheUiFont()
    {
        QCOMPARE(QGuiApplication::font().families(), (QStringList{"OrvUI", "Orvn Color Emoji"}));
        for (const QString &text : {QStringLiteral("Sign In"), QStringLiteral("Вход в систему"), QStringLiteral("© ® ™ ‼ 2026 #1 * → 99")})
            QCOMPARE(shape(text).families, QStringList{"OrvUI"});
        QFont medium = QGuiApplication::font();
        medium.setWeight(QFont::Medium);
        QCOMPARE(QRawFont::fromFont(medium).weight(), int(QFont::Medium));
    }

    // Every symbol name the screens ask for in QML, or build in C++, is mapped.
    void screenSymbolsAreMapped()
    {
        static const QRegularExpression inQml(
            QStringLiteral(R"re(\b(?:name|symbol|icon|iconName)\s*:\s*"([a-z][a-z0-9.]*)"|"([a-z]+(?:\.[a-z0-9]+)+)")re"));
        static const QRegularExpression inCpp(QStringLiteral(R"re(QStringLiteral\("()([a-z]+(?:\.[a-z0-9]+)+)"\))re"));
        QStringList found, unknown;
        QDirIterator it(QStringLiteral(ORVANE_SOURCE_DIR), {"*.qml", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.fileName().endsWith(QLatin1String("/Icons.cpp")))
                continue;
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QRegularExpression &pattern = file.fileName().endsWith(QLatin1String(".qml")) ? inQml : inCpp;
            for (const QRegularExpressionMatch &m : pattern.globalMatch(QString::fromUtf8(file.readAll()))) {
                found << m.captured(1) + m.captured(2);
                if (!Icons::isKnown(found.last()))
                    unknown << found.last();
            }
        }
        QVERIFY2(found.size() > 40, qPrintable(found.join(' ')));
        QVERIFY2(unknown.isEmpty(), qPrintable(unknown.join(' ')));
    }

    void everyGlyphExistsInTheFont()
    {
        QFont font(Icons::fontFamily());
        QRawFont raw = QRawFont::fromFont(font);
        QVERIFY2(raw.isValid(), "the Material Icons font is not installed");
        QCOMPARE(raw.familyName(), Icons::fontFamily());
        // The renamed TTF copy, not the package's WOFF2 that FreeType would decompress at every start.
        QCOMPARE(Icons::fontFamily(), "Orvane Symbols");
        for (const QString &name : Icons::knownNames())
            QVERIFY2(raw.supportsCharacter(Icons::codePoint(name)), qPrintable(name));
        QVERIFY(raw.supportsCharacter(Icons::fallbackCodePoint));
    }

    void unknownNamesShowTheFallback()
    {
        QVERIFY(!Icons::isKnown("no.such.symbol"));
        QCOMPARE(Icons::codePoint(""), Icons::fallbackCodePoint);
        // What an Icon item shows.
        QCOMPARE(Icons::glyph("no.such.symbol"), QString::fromUcs4(&Icons::fallbackCodePoint, 1));
    }
};

QTEST_MAIN(TestFonts)
#include "tst_fonts.moc"
