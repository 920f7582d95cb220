#pragma once

// Helpers for writing records back to JSON: optional fields only when present.

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace recordjson {

inline void put(QJsonObject &o, const char *key, const std::optional<QString> &v)
{
    if (v)
        o.insert(QLatin1String(key), *v);
}
inline void put(QJsonObject &o, const char *key, const std::optional<qint64> &v)
{
    if (v)
        o.insert(QLatin1String(key), *v);
}
inline void put(QJsonObject &o, const char *key, const std::optional<bool> &v)
{
    if (v)
        o.insert(QLatin1String(key), *v);
}
template <class T>
void putRecord(QJsonObject &o, const char *key, const std::optional<T> &v)
{
    if (v)
        o.insert(QLatin1String(key), v->toJson());
}
template <class T>
void putList(QJsonObject &o, const char *key, const std::optional<QList<T>> &v)
{
    if (!v)
        return;
    QJsonArray array;
    for (const T &element : *v)
        array.append(element.toJson());
    o.insert(QLatin1String(key), array);
}

} // namespace recordjson
