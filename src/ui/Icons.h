#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

// Symbol names used by the screens (e.g. "person.circle.fill", "eye.slash", "doc.zipper") mapped to
// glyphs of the Material Icons font. Unknown names get a visible question-mark glyph, never blank space.
class Icons : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)

public:
    static Icons &shared();
    static Icons *create(QQmlEngine *, QJSEngine *);

    static QString fontFamily();
    // The glyph (one character) for a symbol name; the fallback glyph for unknown names.
    Q_INVOKABLE static QString glyph(const QString &name);
    Q_INVOKABLE static bool isKnown(const QString &name);
    static char32_t codePoint(const QString &name);
    static constexpr char32_t fallbackCodePoint = 0xe8fd; // help_outline
    static QStringList knownNames();

private:
    explicit Icons(QObject *parent = nullptr);
};
