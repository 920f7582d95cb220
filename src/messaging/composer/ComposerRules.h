#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

// When the composer may send. QML: `ComposerRules.canSend(message, attachedFile)`.
class ComposerRules : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    static ComposerRules *create(QQmlEngine *, QJSEngine *);

    // Text with white space and line breaks trimmed away is not empty.
    static bool hasText(const QString &message);
    // `uploadStatus` of the attachment ("pending", "uploading", "uploaded", "failed"); a null string
    // means no attachment. A failed upload blocks sending; a running or finished one allows it even
    // without text; otherwise there must be text.
    static bool canSend(const QString &message, const QString &uploadStatus);

    // `attachedFile`: null/undefined, or a map (or object) with `uploadStatus`.
    Q_INVOKABLE static bool canSend(const QString &message, const QVariant &attachedFile);

private:
    explicit ComposerRules(QObject *parent = nullptr);
};
