#pragma once

#include "APIError.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
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

    JsonReader(const QJsonObject &object, const char *record, Keys keys, State *state, QString path);

    bool ok() const { return m_state->error.isEmpty(); }
    Keys keys() const { return m_keys; }

    QString string(const char *field);
    std::optional<QString> optString(const char *field);
    qint64 integer(const char *field);
    std::optional<qint64> optInteger(const char *field);
    bool boolean(const char *field);
    std::optional<bool> optBool(const char *field);

    template <class T> T record(const char *field)
    {
        return optRecordImpl<T>(field, true).value_or(T{});
    }
    template <class T> std::optional<T> optRecord(const char *field) { return optRecordImpl<T>(field, false); }
    template <class T> std::optional<QList<T>> optList(const char *field);

    // Records a failure of `field` (the first failure wins).
    void fail(const char *field, const QString &what);

    // The snake-case conversion applied to keys before they are matched.
    static QString convertFromSnakeCase(const QString &key);

    // A JSON number that is exactly a signed 64-bit integer (3 and 3.0 are, 2.5 and true are not).
    static std::optional<qint64> exactInteger(const QJsonValue &value);

    static QString typeName(const QJsonValue &value);

    // QJsonDocument::fromJson, except that number literals Qt would round onto a different integer
    // (9007199254740993.0, -9223372036854775809, 2.0000000000000001) keep their true meaning: exact
    // integers become plain integers, anything else a number that is visibly not an integer.
    static QJsonDocument parseDocument(const QByteArray &body, QJsonParseError *error = nullptr);

private:
    // Undefined when missing; Null when the JSON says null.
    QJsonValue find(const char *field) const;
    QString childPath(const char *field) const;
    template <class T> std::optional<T> optRecordImpl(const char *field, bool required);

    const QJsonObject &m_object;
    const char *m_record;
    Keys m_keys;
    State *m_state;
    QString m_path;
    bool m_converted = false;
    std::vector<std::pair<QString, QJsonValue>> m_convertedKeys;
};

template <class T>
std::optional<T> JsonReader::optRecordImpl(const char *field, bool required)
{
    if (!ok())
        return std::nullopt;
    const QJsonValue value = find(field);
    if (value.isUndefined() || value.isNull()) {
        if (required)
            fail(field, QStringLiteral("missing required field"));
        return std::nullopt;
    }
    if (!value.isObject()) {
        fail(field, QStringLiteral("expected object, got %1").arg(typeName(value)));
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    JsonReader child(object, T::recordName, m_keys, m_state, childPath(field));
    T result = T::read(child);
    if (!ok())
        return std::nullopt;
    return result;
}

template <class T>
std::optional<QList<T>> JsonReader::optList(const char *field)
{
    if (!ok())
        return std::nullopt;
    const QJsonValue value = find(field);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isArray()) {
        fail(field, QStringLiteral("expected array, got %1").arg(typeName(value)));
        return std::nullopt;
    }
    const QJsonArray array = value.toArray();
    QList<T> list;
    list.reserve(array.size());
    const QString base = childPath(field);
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QJsonValue element = array.at(i);
        if (!element.isObject()) {
            fail(field, QStringLiteral("element %1: expected object, got %2").arg(i).arg(typeName(element)));
            return std::nullopt;
        }
        const QJsonObject object = element.toObject();
        JsonReader child(object, T::recordName, m_keys, m_state, base + QLatin1Char('[') + QString::number(i) + QLatin1Char(']'));
        list.append(T::read(child));
        if (!ok())
            return std::nullopt;
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
    QJsonParseError parseError;
    const QJsonDocument document = JsonReader::parseDocument(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return APIError::decoding(record + QStringLiteral(": body is not valid JSON (%1 at offset %2)")
                                               .arg(parseError.errorString())
                                               .arg(parseError.offset));
    if (!document.isObject())
        return APIError::decoding(record + QStringLiteral(": expected a JSON object, got %1")
                                               .arg(document.isArray() ? QStringLiteral("array") : QStringLiteral("scalar")));
    const QJsonObject object = document.object();
    return decodeRecord<T>(object);
}

template <class T>
APIResult<T> decodeRecord(const QJsonObject &object)
{
    JsonReader::State state;
    JsonReader reader(object, T::recordName, T::keyStyle, &state, QString());
    T result = T::read(reader);
    if (!state.error.isEmpty())
        return APIError::decoding(state.error);
    return result;
}
