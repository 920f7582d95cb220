// The chat model follows the server's list by message id: nothing for an unchanged poll, exactly the
// differences otherwise, always ending equal to the server's list.
#include "MessageListModel.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

namespace {

Message message(const QString &id)
{
    Message m;
    m.id = id;
    m.content = QStringLiteral("text ") + id;
    m.senderId = QStringLiteral("u1");
    m.createdAt = QStringLiteral("2026-12-06T10:00:00.000000Z");
    m.isMine = true;
    return m;
}

// Ids separated by spaces; "b*" is message b read on the server.
QList<Message> messages(const QString &ids)
{
    QList<Message> list;
    for (QString id : ids.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const bool read = id.endsWith(QLatin1Char('*'));
        list.append(message(id.remove(QLatin1Char('*'))));
        list.last().isRead = read;
    }
    return list;
}

} // namespace

class MessageListModelTest : public QObject
{
    Q_OBJECT

private slots:
    // A message read or edited on the server keeps its row; only that row reports new data.
    void updatesById_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("inserts");
        QTest::addColumn<int>("removes");
        QTest::addColumn<int>("moves");
        QTest::addColumn<int>("changedRow"); // -1: no row reports new data
        QTest::newRow("unchanged") << "a b c" << "a b c" << 0 << 0 << 0 << -1;
        QTest::newRow("two new in one insert") << "a b c" << "a b c d e" << 1 << 0 << 0 << -1;
        QTest::newRow("fewer than shown") << "a b c d" << "a b" << 0 << 1 << 0 << -1;
        QTest::newRow("middle removed") << "a b c d" << "a d" << 0 << 1 << 0 << -1;
        QTest::newRow("inserted in the middle") << "a d" << "a b c d" << 1 << 0 << 0 << -1;
        QTest::newRow("reordered by the server") << "a b c" << "c a b" << 0 << 0 << 1 << -1;
        QTest::newRow("everything replaced") << "a b" << "x y" << 1 << 1 << 0 << -1;
        QTest::newRow("emptied") << "a b" << "" << 0 << 1 << 0 << -1;
        QTest::newRow("first load") << "" << "a b c" << 1 << 0 << 0 << -1;
        QTest::newRow("duplicate ids kept") << "a b" << "a b b" << 1 << 0 << 0 << -1;
        QTest::newRow("one read on the server") << "a b c" << "a b* c" << 0 << 0 << 0 << 1;
    }
    void updatesById()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(int, inserts);
        QFETCH(int, removes);
        QFETCH(int, moves);
        QFETCH(int, changedRow);

        MessageListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setMessages(messages(before));
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy count(&model, &MessageListModel::countChanged);
        model.setMessages(messages(after));

        QCOMPARE(model.messages(), messages(after));
        QCOMPARE(inserted.size(), inserts);
        QCOMPARE(removed.size(), removes);
        QCOMPARE(moved.size(), moves);
        QCOMPARE(changed.size(), changedRow < 0 ? 0 : 1);
        if (changedRow >= 0)
            QCOMPARE(changed.first().at(0).toModelIndex().row(), changedRow);
        QCOMPARE(reset.size(), 0);
        QCOMPARE(count.size(), before.split(' ', Qt::SkipEmptyParts).size() != after.split(' ', Qt::SkipEmptyParts).size() ? 1 : 0);
    }

    // Random edits of random lists: the tester checks every signal, the rows end equal to the server's.
    void randomListsEndEqual()
    {
        MessageListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QRandomGenerator rng(20261206);
        QList<Message> current;
        for (int round = 0; round < 400; ++round) {
            QList<Message> next;
            const int size = int(rng.bounded(12));
            for (int i = 0; i < size; ++i) {
                auto m = message(QString::number(rng.bounded(15)));
                if (rng.bounded(4) == 0)
                    m.content = QStringLiteral("edited");
                next.append(m);
            }
            model.setMessages(next);
            QCOMPARE(model.messages(), next);
        }
    }
};

QTEST_GUILESS_MAIN(MessageListModelTest)
#include "tst_messagelistmodel.moc"
