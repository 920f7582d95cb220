#pragma once

#include "APIError.h"
#include "JsonDom.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

// The strict reader behind every record's decode(). One reader walks one JSON object; nested
// readers share the first failure, so a bad field anywhere fails the whole response with a text
// naming the record, the field, where it sat and what was wrong.
class JsonReader
{
public:
    enum class Keys {
        SnakeCase, // server records: keys pass through the snake-case conversion before matching
        Exact,     // call records: keys must match exactly
    };

    struct State {
        QString error;
    };

    // Where a nested object sat in its parent; the path is spelled out only when a failure needs it.
    struct Origin {
        const JsonReader *parent;
        const char *field;
        qsizetype index; // element of a list, or -1
    };

    JsonReader(const JsonDom &dom, std::uint32_t object, const char *record, Keys keys, State *state,
               Origin origin = {nullptr, nullptr, -1});

    bool ok() const { return m_state->error.isEmpty(); }

    QString string(const char *field) { return readString(field, true).value_or(QString()); }
    std::optional<QString> optString(const char *field) { return readString(field, false); }
    qint64 integer(const char *field) { return readInteger(field, true).value_or(0); }
    std::optional<qint64> optInteger(const char *field) { return readInteger(field, false); }
    bool boolean(const char *field) { return readBool(field, true).value_or(false); }
    std::optional<bool> optBool(const char *field) { return readBool(field, false); }

    template <class T> T record(const char *field) { return optRecordImpl<T>(field, true).value_or(T{}); }
    template <class T> std::optional<T> optRecord(const char *field) { return optRecordImpl<T>(field, false); }
    template <class T> std::optional<QList<T>> optList(const char *field);

    // Records a failure of `field` (the first failure wins).
    void fail(const char *field, const QString &what);

    // The snake-case conversion applied to keys before they are matched.
    static QString convertFromSnakeCase(const QString &key);
    // Whether convertFromSnakeCase(key) equals field (both UTF-8).
    static bool convertedKeyEquals(QByteArrayView key, QByteArrayView field);

private:
    // The value node of the field, or JsonDom::npos when the key is missing. JSON null is a Null node.
    std::uint32_t find(const char *field) const;
    // Missing or null: nullptr (and a failure when required). Otherwise the node.
    const JsonDom::Node *lookup(const char *field, bool required, std::uint32_t *index = nullptr);
    QString path() const;
    QString childPath(const char *field) const;
    std::optional<QString> readString(const char *field, bool required);
    std::optional<qint64> readInteger(const char *field, bool required);
    std::optional<bool> readBool(const char *field, bool required);
    template <class T> std::optional<T> optRecordImpl(const char *field, bool required);

    const JsonDom &m_dom;
    std::uint32_t m_object;
    const char *m_record;
    Keys m_keys;
    State *m_state;
    Origin m_origin;
};

template <class T>
std::optional<T> JsonReader::optRecordImpl(const char *field, bool required)
{
    std::uint32_t index = 0;
    const JsonDom::Node *node = lookup(field, required, &index);
    if (!node)
        return std::nullopt;
    if (node->type != JsonDom::Type::Object) {
        fail(field, QStringLiteral("expected object, got %1").arg(JsonDom::typeName(node->type)));
        return std::nullopt;
    }
    JsonReader child(m_dom, index, T::recordName, m_keys, m_state, Origin{this, field, -1});
    T result = T::read(child);
    if (!ok())
        return std::nullopt;
    return result;
}

template <class T>
std::optional<QList<T>> JsonReader::optList(const char *field)
{
    std::uint32_t index = 0;
    const JsonDom::Node *node = lookup(field, false, &index);
    if (!node)
        return std::nullopt;
    if (node->type != JsonDom::Type::Array) {
        fail(field, QStringLiteral("expected array, got %1").arg(JsonDom::typeName(node->type)));
        return std::nullopt;
    }
    QList<T> list;
    list.reserve(node->length);
    std::uint32_t element = index + 1;
    for (std::uint32_t i = 0; i < node->length; ++i) {
        const JsonDom::Node &item = m_dom.node(element);
        if (item.type != JsonDom::Type::Object) {
            fail(field, QStringLiteral("element %1: expected object, got %2").arg(i).arg(JsonDom::typeName(item.type)));
            return std::nullopt;
        }
        JsonReader child(m_dom, element, T::recordName, m_keys, m_state, Origin{this, field, qsizetype(i)});
        list.append(T::read(child));
        if (!ok())
            return std::nullopt;
        element = item.end;
    }
    return list;
}

// Parses a whole response body as the record T.
template <class T>
APIResult<T> decodeRecord(const QByteArray &body)
{
    const QString record = QString::fromLatin1(T::recordName);
    if (body.trimmed().isEmpty())
        return APIError::decoding(record + QStringLiteral(": empty body, expected a JSON object"));
    JsonDom dom;
    QString parseError;
    if (!dom.parse(body, &parseError))
        return APIError::decoding(record + QStringLiteral(": body is not valid JSON (") + parseError + QLatin1Char(')'));
    const JsonDom::Type type = dom.node(dom.root()).type;
    if (type != JsonDom::Type::Object)
        return APIError::decoding(record + QStringLiteral(": expected a JSON object, got ") + JsonDom::typeName(type));
    JsonReader::State state;
    JsonReader reader(dom, dom.root(), T::recordName, T::keyStyle, &state);
    T result = T::read(reader);
    if (!state.error.isEmpty())
        return APIError::decoding(state.error);
    return result;
}
