#include "ComposerRules.h"
#include "TextEdits.h"

#include <QRandomGenerator>
#include <QTest>

// When the composer may send: the text and the attachment's upload state. How outside changes reach
// the editor: as a few small edits.
class TestComposer : public QObject
{
    Q_OBJECT

private slots:
    // Plain text, blanks, a failed upload and an empty pending one are tst_Composer.qml's rows.
    void canSend_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("status"); // null: no attachment
        QTest::addColumn<bool>("expected");

        const QString none;
        QTest::newRow("no attachment, text among blanks") << "\n  да \n" << none << true;
        QTest::newRow("no attachment, no-break space only") << "\u00A0\u2003" << none << false;
        QTest::newRow("uploaded, empty") << "" << "uploaded" << true;
        QTest::newRow("uploading, blanks") << "  " << "uploading" << true;
        QTest::newRow("pending, text") << "hi" << "pending" << true;
        QTest::newRow("unknown status counts as pending") << "" << "queued" << false;
    }

    void canSend()
    {
        QFETCH(QString, message);
        QFETCH(QString, status);
        QFETCH(bool, expected);
        QCOMPARE(ComposerRules::canSend(message, status), expected);

        // The same as the chat hands it over, a map (tst_Composer.qml passes JavaScript objects).
        const QVariant file = status.isNull() ? QVariant() : QVariant(QVariantMap{{"name", "a.pdf"}, {"uploadStatus", status}});
        QCOMPARE(ComposerRules::canSend(message, file), expected);
    }

    void attachmentForms()
    {
        // No status at all: treated as pending.
        QCOMPARE(ComposerRules::canSend("", QVariant(QVariantMap{{"name", "a.pdf"}})), false);
        QCOMPARE(ComposerRules::canSend("x", QVariant(QVariantMap{{"name", "a.pdf"}})), true);
        QCOMPARE(ComposerRules::canSend("", QVariant::fromValue(nullptr)), false);
        QObject object;
        object.setProperty("uploadStatus", "uploaded");
        QCOMPARE(ComposerRules::canSend("", QVariant::fromValue(&object)), true);
        object.setProperty("uploadStatus", "failed");
        QCOMPARE(ComposerRules::canSend("text", QVariant::fromValue(&object)), false);
    }

    void outsideChangesAreSmallEdits_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("hunks");
        QTest::addColumn<int>("removed"); // UTF-16 units, all hunks together
        QTest::newRow("same") << "Как дела?" << "Как дела?" << 0 << 0;
        QTest::newRow("into empty") << "" << "abc" << 1 << 0;
        QTest::newRow("spelling fixes") << "helo wrld" << "Hello world." << 4 << 1;
        QTest::newRow("punctuation") << "привет ,как дела" << "Привет, как дела." << 4 << 2;
        QTest::newRow("emoji sharing a high surrogate") << "a😀b" << "a😃b" << 1 << 2;
        QTest::newRow("flag after a flag") << "🇷🇺" << "🇷🇺🇺🇦" << 1 << 0;
        QTest::newRow("nothing in common") << QString(300, u'a') << QString(300, u'b') << 1 << 300;
    }
    void outsideChangesAreSmallEdits()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, hunks);
        QFETCH(int, removed);
        const auto edits = TextEdits::diff(from, to);
        QCOMPARE(TextEdits::apply(from, edits), to);
        QCOMPARE(edits.size(), hunks);
        qsizetype total = 0;
        for (const auto &h : edits)
            total += h.removed;
        QCOMPARE(total, removed);
    }

    // Random texts with surrogate pairs: the edits always give the new text and never cut a pair.
    void randomChangesRoundTrip()
    {
        const QStringList pieces{"a", "b", " ", "ё", "😀", "😃", "\n"};
        QRandomGenerator rng(5);
        auto text = [&] {
            QString t;
            for (int i = int(rng.bounded(12)); i > 0; --i)
                t += pieces.at(int(rng.bounded(int(pieces.size()))));
            return t;
        };
        for (int round = 0; round < 2000; ++round) {
            const QString from = text();
            const QString to = text();
            const auto edits = TextEdits::diff(from, to);
            QCOMPARE(TextEdits::apply(from, edits), to);
            auto cuts = [&from](qsizetype at) { return at > 0 && at < from.size() && from.at(at).isLowSurrogate(); };
            for (const auto &h : edits) {
                QVERIFY(!cuts(h.position) && !cuts(h.position + h.removed));
                QVERIFY(h.inserted.isEmpty() || (!h.inserted.front().isLowSurrogate() && !h.inserted.back().isHighSurrogate()));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestComposer)
#include "tst_composer.moc"
