#pragma once

#include "DisplayText.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// For QML: the part of a long text from outside that an item lays out (see oneLineStart).
class TextStart : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit TextStart(QObject *parent = nullptr) : QObject(parent) {}

    // What a one-line, elided label shows of a name.
    Q_INVOKABLE static QString oneLine(const QString &text) { return oneLineStart(text); }
    // The first `limit` code units, never half a surrogate pair.
    Q_INVOKABLE static QString upTo(const QString &text, int limit) { return oneLineStart(text, limit); }
};
