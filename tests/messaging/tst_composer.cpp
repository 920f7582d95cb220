#include "ComposerRules.h"

#include <QJSEngine>
#include <QTest>

// When the composer may send: the text and the attachment's upload state.
class TestComposer : public QObject
{
    Q_OBJECT

private slots:
    void canSend_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("status"); // null: no attachment
        QTest::addColumn<bool>("expected");

        const QString none;
        QTest::newRow("no attachment, text") << "hi" << none << true;
        QTest::newRow("no attachment, empty") << "" << none << false;
        QTest::newRow("no attachment, blanks") << " \t\n \n" << none << false;
        QTest::newRow("no attachment, text among blanks") << "\n  да \n" << none << true;
        QTest::newRow("no attachment, no-break space only") << "\u00A0\u2003" << none << false;
        QTest::newRow("failed, text") << "hi" << "failed" << false;
        QTest::newRow("failed, empty") << "" << "failed" << false;
        QTest::newRow("uploaded, empty") << "" << "uploaded" << true;
        QTest::newRow("uploaded, text") << "hi" << "uploaded" << true;
        QTest::newRow("uploading, empty") << "" << "uploading" << true;
        QTest::newRow("uploading, blanks") << "  " << "uploading" << true;
        QTest::newRow("pending, text") << "hi" << "pending" << true;
        QTest::newRow("pending, empty") << "" << "pending" << false;
        QTest::newRow("unknown status counts as pending") << "" << "queued" << false;
    }

    void canSend()
    {
        QFETCH(QString, message);
        QFETCH(QString, status);
        QFETCH(bool, expected);
        QCOMPARE(ComposerRules::canSend(message, status), expected);

        // The same through the forms QML hands over: a map, and a JavaScript object.
        const QVariant file = status.isNull() ? QVariant() : QVariant(QVariantMap{{"name", "a.pdf"}, {"uploadStatus", status}});
        QCOMPARE(ComposerRules::canSend(message, file), expected);
        QJSEngine engine;
        const QJSValue js = status.isNull() ? engine.evaluate("null")
                                            : engine.evaluate(QStringLiteral("({name: 'a.pdf', uploadStatus: '%1'})").arg(status));
        QCOMPARE(ComposerRules::canSend(message, QVariant::fromValue(js)), expected);
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
};

QTEST_GUILESS_MAIN(TestComposer)
#include "tst_composer.moc"
