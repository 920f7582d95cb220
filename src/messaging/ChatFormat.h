#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// Small text helpers of the chat screens.
class ChatFormat : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit ChatFormat(QObject *parent = nullptr) : QObject(parent) {}

    // Size in decimal units as the desktop writes it ("1.2 MB", "532 bytes").
    Q_INVOKABLE static QString fileSize(qint64 bytes);
};
