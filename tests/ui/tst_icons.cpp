#include "FontSetup.h"
#include "Icons.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QRawFont>
#include <QRegularExpression>
#include <QTest>

// Every symbol name the screens use must draw a real glyph of the icon font.
class TestIcons : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { FontSetup::apply(); }

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
        QCOMPARE(Icons::codePoint("no.such.symbol"), Icons::fallbackCodePoint);
        QCOMPARE(Icons::codePoint(""), Icons::fallbackCodePoint);
    }
};

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
