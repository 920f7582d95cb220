#pragma once

#include <QList>

#include <algorithm>
#include <QSet>

#include <functional>

// Brings a list model's rows to a new list by key, with the fewest row signals: rows whose key is gone
// are removed, rows that moved are moved, new keys are inserted (runs in one go), and a row whose
// value changed under the same key only reports dataChanged. Views keep every delegate whose key stays.
// An unchanged list emits nothing. The order of `next` wins, duplicates included.
struct KeyedListSignals {
    std::function<void(int first, int last)> beginRemove;
    std::function<void()> endRemove;
    std::function<void(int first, int last)> beginInsert;
    std::function<void()> endInsert;
    std::function<void(int from, int to)> beginMove; // one row from `from` to `to` (to < from)
    std::function<void()> endMove;
    std::function<void(int row)> changed;
};

template <class T, class KeyFn>
void applyKeyedUpdate(QList<T> &rows, const QList<T> &next, KeyFn key, const KeyedListSignals &s)
{
    using Key = std::decay_t<decltype(key(next.first()))>;

    if (rows.isEmpty()) {
        if (next.isEmpty())
            return;
        s.beginInsert(0, int(next.size()) - 1);
        rows = next;
        s.endInsert();
        return;
    }

    // Polls mostly bring the same list, perhaps with new messages at the end: walk the common prefix
    // first, and only hash keys when the lists part somewhere inside.
    qsizetype prefix = 0;
    const qsizetype common = std::min(rows.size(), next.size());
    while (prefix < common && key(rows.at(prefix)) == key(next.at(prefix)))
        ++prefix;
    if (prefix == rows.size()) {
        for (qsizetype i = 0; i < prefix; ++i) {
            if (!(rows.at(i) == next.at(i))) {
                rows[i] = next.at(i);
                s.changed(int(i));
            }
        }
        if (next.size() > rows.size()) {
            const qsizetype first = rows.size();
            s.beginInsert(int(first), int(next.size()) - 1);
            rows.append(next.mid(first));
            s.endInsert();
        }
        return;
    }

    QSet<Key> nextKeys;
    nextKeys.reserve(next.size());
    for (const T &item : next)
        nextKeys.insert(key(item));

    // Gone keys first, in runs from the end, so later indexes stay valid.
    for (qsizetype i = rows.size() - 1; i >= 0; --i) {
        if (nextKeys.contains(key(rows.at(i))))
            continue;
        qsizetype first = i;
        while (first > 0 && !nextKeys.contains(key(rows.at(first - 1))))
            --first;
        s.beginRemove(int(first), int(i));
        rows.remove(first, i - first + 1);
        s.endRemove();
        i = first;
    }

    QSet<Key> rowKeys;
    rowKeys.reserve(rows.size());
    for (const T &item : rows)
        rowKeys.insert(key(item));

    for (qsizetype i = 0; i < next.size(); ++i) {
        const Key k = key(next.at(i));
        if (i < rows.size() && key(rows.at(i)) == k) {
            if (!(rows.at(i) == next.at(i))) {
                rows[i] = next.at(i);
                s.changed(int(i));
            }
            continue;
        }
        qsizetype found = -1;
        if (rowKeys.contains(k)) {
            for (qsizetype j = i + 1; j < rows.size(); ++j) {
                if (key(rows.at(j)) == k) {
                    found = j;
                    break;
                }
            }
        }
        if (found >= 0) {
            s.beginMove(int(found), int(i));
            rows.move(found, i);
            s.endMove();
            if (!(rows.at(i) == next.at(i))) {
                rows[i] = next.at(i);
                s.changed(int(i));
            }
            continue;
        }
        // A run of keys the rows do not hold yet goes in with one insert.
        qsizetype end = i + 1;
        QSet<Key> runKeys{k};
        while (end < next.size()) {
            const Key nk = key(next.at(end));
            if (rowKeys.contains(nk) || runKeys.contains(nk))
                break;
            runKeys.insert(nk);
            ++end;
        }
        s.beginInsert(int(i), int(end - 1));
        rows.insert(i, end - i, T{});
        for (qsizetype j = i; j < end; ++j)
            rows[j] = next.at(j);
        s.endInsert();
        rowKeys.unite(runKeys);
        i = end - 1;
    }

    if (rows.size() > next.size()) {
        s.beginRemove(int(next.size()), int(rows.size()) - 1);
        rows.remove(next.size(), rows.size() - next.size());
        s.endRemove();
    }
}
