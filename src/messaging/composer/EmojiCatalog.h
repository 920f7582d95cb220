#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <optional>

class QJSEngine;
class QQmlEngine;

// The picker's ten categories in tab order.
enum class EmojiCategory { Smileys, Gestures, People, Animals, Food, Activities, Travel, Objects, Symbols, Flags };

// The fixed emoji sets of the picker. Every entry is one grapheme cluster: ZWJ sequences carry
// their U+200D joiners, flags are regional-indicator pairs.
// QML: `EmojiCatalog.categories` ([{key, tab}] in tab order) and `EmojiCatalog.emojis(key)`.
class EmojiCatalog : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QVariantList categories READ categories CONSTANT)
    Q_PROPERTY(QString defaultCategory READ defaultCategory CONSTANT)

public:
    static EmojiCatalog *create(QQmlEngine *, QJSEngine *);

    static QList<EmojiCategory> allCases();
    // The category's name in code ("smileys", …, "flags").
    static QString key(EmojiCategory category);
    // The emoji on the category's tab; also the category's identity.
    static QString rawValue(EmojiCategory category);
    // Exactly the ten tab emoji are accepted.
    static std::optional<EmojiCategory> fromRawValue(QStringView raw);
    static std::optional<EmojiCategory> fromKey(QStringView key);
    static const QStringList &list(EmojiCategory category);

    QVariantList categories() const;
    QString defaultCategory() const { return key(EmojiCategory::Smileys); }
    // The list of the category with this key; empty for an unknown key.
    Q_INVOKABLE QStringList emojis(const QString &key) const;

private:
    explicit EmojiCatalog(QObject *parent = nullptr);
};
