// The chat model follows the server's list by message id: nothing for an unchanged poll, exactly the
// differences otherwise, always ending equal to the server's list.
#include "MessageListModel.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

namespace {

Message message(const QString &id, const QString &content = {})
{
    Message m;
    m.id = id;
    m.content = content.isEmpty() ? QStringLiteral("text ") + id : content;
    m.senderId = QStringLiteral("u1");
    m.createdAt = QStringLiteral("2026-12-06T10:00:00.000000Z");
    m.isMine = true;
    return m;
}

QList<Message> messages(const QString &ids)
{
    QList<Message> list;
    for (const QString &id : ids.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        list.append(message(id));
    return list;
}

QStringList ids(const MessageListModel &model)
{
    QStringList out;
    for (int i = 0; i < model.rowCount(); ++i)
        out << model.index(i).data(MessageListModel::MessageIdRole).toString();
    return out;
}

struct Signals {
    explicit Signals(MessageListModel &m)
        : inserted(&m, &QAbstractItemModel::rowsInserted)
        , removed(&m, &QAbstractItemModel::rowsRemoved)
        , moved(&m, &QAbstractItemModel::rowsMoved)
        , changed(&m, &QAbstractItemModel::dataChanged)
        , reset(&m, &QAbstractItemModel::modelReset)
    {
    }
    QSignalSpy inserted, removed, moved, changed, reset;
};

} // namespace

class MessageListModelTest : public QObject
{
    Q_OBJECT

private slots:
    void updatesById_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("inserts");
        QTest::addColumn<int>("removes");
        QTest::addColumn<int>("moves");
        QTest::newRow("unchanged") << "a b c" << "a b c" << 0 << 0 << 0;
        QTest::newRow("two new in one insert") << "a b c" << "a b c d e" << 1 << 0 << 0;
        QTest::newRow("fewer than shown") << "a b c d" << "a b" << 0 << 1 << 0;
        QTest::newRow("middle removed") << "a b c d" << "a d" << 0 << 1 << 0;
        QTest::newRow("inserted in the middle") << "a d" << "a b c d" << 1 << 0 << 0;
        QTest::newRow("reordered by the server") << "a b c" << "c a b" << 0 << 0 << 1;
        QTest::newRow("everything replaced") << "a b" << "x y" << 1 << 1 << 0;
        QTest::newRow("emptied") << "a b" << "" << 0 << 1 << 0;
        QTest::newRow("first load") << "" << "a b c" << 1 << 0 << 0;
        QTest::newRow("duplicate ids kept") << "a b" << "a b b" << 1 << 0 << 0;
    }
    void updatesById()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(int, inserts);
        QFETCH(int, removes);
        QFETCH(int, moves);

        MessageListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setMessages(messages(before));
        Signals spy(model);
        QSignalSpy count(&model, &MessageListModel::countChanged);
        model.setMessages(messages(after));

        QCOMPARE(ids(model), after.split(' ', Qt::SkipEmptyParts));
        QCOMPARE(spy.inserted.size(), inserts);
        QCOMPARE(spy.removed.size(), removes);
        QCOMPARE(spy.moved.size(), moves);
        QCOMPARE(spy.changed.size(), 0);
        QCOMPARE(spy.reset.size(), 0);
        QCOMPARE(count.size(), before.split(' ', Qt::SkipEmptyParts).size() != after.split(' ', Qt::SkipEmptyParts).size() ? 1 : 0);
    }

    // A message read or edited on the server keeps its row; only that row reports new data.
    void changedMessageOnlyRefreshesItsRow()
    {
        MessageListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setMessages(messages("a b c"));
        Signals spy(model);
        auto next = messages("a b c");
        next[1].isRead = true;
        model.setMessages(next);
        QCOMPARE(spy.changed.size(), 1);
        QCOMPARE(spy.changed.first().at(0).toModelIndex().row(), 1);
        QCOMPARE(spy.inserted.size() + spy.removed.size() + spy.moved.size(), 0);
        QVERIFY(model.index(1).data(MessageListModel::IsReadRole).toBool());
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
