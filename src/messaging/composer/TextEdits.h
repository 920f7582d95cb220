#pragma once

#include <QList>
#include <QObject>
#include <QQuickTextDocument>
#include <QString>
#include <QtQml/qqmlregistration.h>

// Changes made to the composer's text from outside (a spelling correction, an emoji, a failed send
// given back) applied as edits of the few ranges that differ, not as a new text: together they are one
// step of the editor's undo history, and the caret and selection stay with the text around them.
// QML: `TextEdits.replace(textArea.textDocument, newText)`.
class TextEdits : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit TextEdits(QObject *parent = nullptr) : QObject(parent) {}

    // `removed` UTF-16 units at `position` of the old text give way to `inserted`.
    struct Hunk {
        qsizetype position = 0;
        qsizetype removed = 0;
        QString inserted;
        bool operator==(const Hunk &) const = default;
    };

    // Few, small replacements that turn `from` into `to`, in order of position; a surrogate pair is
    // never split. Very different texts give one replacement of the part between the common ends.
    static QList<Hunk> diff(const QString &from, const QString &to);
    static QString apply(const QString &from, const QList<Hunk> &hunks);

    // Brings the document's text to `text` with one undoable edit.
    Q_INVOKABLE static void replace(QQuickTextDocument *document, const QString &text);
};
