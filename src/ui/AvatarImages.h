#pragma once

#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

// Members' pictures for Avatar, loaded through an image provider of the application's own.
//
// Qt 6.4's loader of network images can pair an answer with the wrong request when several
// pictures start at once: a conversation row then showed the picture of the row below, and that
// row never got one. Here each picture has a network reply of its own, decoded on the image
// loader's thread.
class AvatarImages : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    // Registers the provider with the engine; QML reaches it through the singleton.
    static AvatarImages *create(QQmlEngine *engine, QJSEngine *);
    static void install(QQmlEngine *engine);

    // The address an Image loads for a picture at `source`: http(s) pictures go through the
    // provider, anything else (empty, files, resources) stays as it is.
    Q_INVOKABLE static QUrl address(const QUrl &source);

private:
    explicit AvatarImages(QObject *parent = nullptr);
};
