#include "ColorFromHex.h"

#include <QTest>

class TestColorFromHex : public QObject
{
    Q_OBJECT

private slots:
    void parses_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QColor>("expected");

        QTest::newRow("six digits") << "FCD34D" << QColor(0xfc, 0xd3, 0x4d);
        QTest::newRow("leading hash trimmed") << "#FCD34D" << QColor(0xfc, 0xd3, 0x4d);
        QTest::newRow("three digits") << "F00" << QColor(255, 0, 0);
        QTest::newRow("eight digits alpha first") << "80FF0000" << QColor(255, 0, 0, 128);
        QTest::newRow("five digits is black") << "12345" << QColor(0, 0, 0);
        QTest::newRow("spaces around") << "  3b82f6  " << QColor(0x3b, 0x82, 0xf6);
        QTest::newRow("empty") << "" << QColor(0, 0, 0);
        // Inner characters stay and count for the length; digits are read only as far as they go.
        QTest::newRow("inner garbage stops the number") << "FFzz00" << QColor(0, 0, 0xff);
        QTest::newRow("non-hex letters read as zero") << "GGGGGG" << QColor(0, 0, 0);
        QTest::newRow("trailing punctuation") << "ef4444;" << QColor(0xef, 0x44, 0x44);
        QTest::newRow("long string is black") << "FFFFFFFFFFFFFFFFFFFFFFFF" << QColor(0, 0, 0);
        // Three characters (the mark joins the b), and the digits stop at the mark: 0xab.
        QTest::newRow("combining mark counts once") << QStringLiteral("ab\u0301c") << QColor(0, 0xaa, 0xbb);
    }

    void parses()
    {
        QFETCH(QString, hex);
        QFETCH(QColor, expected);
        const QColor c = colorFromHex(hex);
        QCOMPARE(c.rgba(), expected.rgba());
        // sRGB components, not another colour model that happens to round to the same value.
        QCOMPARE(c, QColor::fromRgba(expected.rgba()));
    }
};

QTEST_GUILESS_MAIN(TestColorFromHex)
#include "tst_colorfromhex.moc"
