#include "JsonReader.h"

#include <QCborValue>
#include <QJsonDocument>

#include <cmath>

JsonReader::JsonReader(const QJsonObject &object, const char *record, Keys keys, State *state, QString path)
    : m_object(object), m_record(record), m_keys(keys), m_state(state), m_path(std::move(path))
{
    if (m_keys != Keys::SnakeCase)
        return;
    // Most servers already send camel case: only build the converted table when some key needs it.
    for (auto it = m_object.constBegin(); it != m_object.constEnd(); ++it) {
        if (it.key().contains(QLatin1Char('_'))) {
            m_converted = true;
            break;
        }
    }
    if (!m_converted)
        return;
    m_convertedKeys.reserve(size_t(m_object.size()));
    for (auto it = m_object.constBegin(); it != m_object.constEnd(); ++it)
        m_convertedKeys.emplace_back(convertFromSnakeCase(it.key()), it.value());
}

QString JsonReader::convertFromSnakeCase(const QString &key)
{
    if (key.isEmpty())
        return key;
    qsizetype first = 0;
    while (first < key.size() && key.at(first) == QLatin1Char('_'))
        ++first;
    if (first == key.size())
        return key; // only underscores
    qsizetype last = key.size() - 1;
    while (last > first && key.at(last) == QLatin1Char('_'))
        --last;

    const QStringView middle = QStringView(key).mid(first, last - first + 1);
    const auto pieces = middle.split(QLatin1Char('_'), Qt::SkipEmptyParts);
    if (pieces.size() <= 1)
        return key;

    QString result;
    result.reserve(key.size());
    result += QStringView(key).left(first);
    result += pieces.first().toString().toLower();
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QStringView piece = pieces.at(i);
        result += piece.left(1).toString().toUpper();
        result += piece.mid(1).toString().toLower();
    }
    result += QStringView(key).mid(last + 1);
    return result;
}

std::optional<qint64> JsonReader::exactInteger(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    // Qt keeps integer literals that fit 64 bits as integers; everything else became a double.
    const QCborValue cbor = QCborValue::fromJsonValue(value);
    if (cbor.isInteger())
        return cbor.toInteger();
    // A double is an exact integer only below 2^53: above it the literal may have been rounded
    // (9007199254740993.0, or -9223372036854775809 rounding into range), so refuse it.
    const double d = cbor.toDouble();
    constexpr double limit = 9007199254740992.0; // 2^53
    if (!std::isfinite(d) || std::trunc(d) != d || d >= limit || d <= -limit)
        return std::nullopt;
    return qint64(d);
}

QString JsonReader::typeName(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("bool");
    case QJsonValue::Double:
        return QStringLiteral("number");
    case QJsonValue::String:
        return QStringLiteral("string");
    case QJsonValue::Array:
        return QStringLiteral("array");
    case QJsonValue::Object:
        return QStringLiteral("object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

QJsonValue JsonReader::find(const char *field) const
{
    const QLatin1String name(field);
    if (!m_converted)
        return m_object.value(name);
    for (const auto &[key, value] : m_convertedKeys) {
        if (key == name)
            return value;
    }
    return QJsonValue(QJsonValue::Undefined);
}

QString JsonReader::childPath(const char *field) const
{
    return m_path.isEmpty() ? QString::fromLatin1(field) : m_path + QLatin1Char('.') + QLatin1String(field);
}

void JsonReader::fail(const char *field, const QString &what)
{
    if (!ok())
        return;
    QString text = QString::fromLatin1(m_record) + QLatin1Char('.') + QLatin1String(field) + QStringLiteral(": ") + what;
    if (!m_path.isEmpty())
        text += QStringLiteral(" (at ") + childPath(field) + QLatin1Char(')');
    m_state->error = text;
}

namespace {
QString missing()
{
    return QStringLiteral("missing required field");
}
} // namespace

std::optional<QString> JsonReader::optString(const char *field)
{
    if (!ok())
        return std::nullopt;
    const QJsonValue value = find(field);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString()) {
        fail(field, QStringLiteral("expected string, got %1").arg(typeName(value)));
        return std::nullopt;
    }
    return value.toString();
}

QString JsonReader::string(const char *field)
{
    if (!ok())
        return {};
    const QJsonValue value = find(field);
    if (value.isUndefined() || value.isNull()) {
        fail(field, missing());
        return {};
    }
    if (!value.isString()) {
        fail(field, QStringLiteral("expected string, got %1").arg(typeName(value)));
        return {};
    }
    return value.toString();
}

std::optional<qint64> JsonReader::optInteger(const char *field)
{
    if (!ok())
        return std::nullopt;
    const QJsonValue value = find(field);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (const auto number = exactInteger(value))
        return number;
    if (value.isDouble())
        fail(field, QStringLiteral("expected integer, got a number that is not an exact 64-bit integer"));
    else
        fail(field, QStringLiteral("expected integer, got %1").arg(typeName(value)));
    return std::nullopt;
}

qint64 JsonReader::integer(const char *field)
{
    if (!ok())
        return 0;
    const QJsonValue value = find(field);
    if (value.isUndefined() || value.isNull()) {
        fail(field, missing());
        return 0;
    }
    return optInteger(field).value_or(0);
}

std::optional<bool> JsonReader::optBool(const char *field)
{
    if (!ok())
        return std::nullopt;
    const QJsonValue value = find(field);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isBool()) {
        fail(field, QStringLiteral("expected bool, got %1").arg(typeName(value)));
        return std::nullopt;
    }
    return value.toBool();
}

bool JsonReader::boolean(const char *field)
{
    if (!ok())
        return false;
    const QJsonValue value = find(field);
    if (value.isUndefined() || value.isNull()) {
        fail(field, missing());
        return false;
    }
    return optBool(field).value_or(false);
}

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

enum class Literal { Keep, NotInteger, Integer };

// Decides what a JSON number literal means when Qt's double conversion could blur it.
// On Integer, *text holds the plain integer form.
Literal classifyNumber(const char *p, qsizetype n, QByteArray *text)
{
    qsizetype i = 0;
    const bool negative = i < n && p[i] == '-';
    if (negative)
        ++i;
    const qsizetype intStart = i;
    while (i < n && isDigit(p[i]))
        ++i;
    const qsizetype intEnd = i;
    if (intEnd == intStart)
        return Literal::Keep; // not a number Qt would accept either
    qsizetype fracStart = i, fracEnd = i;
    if (i < n && p[i] == '.') {
        fracStart = ++i;
        while (i < n && isDigit(p[i]))
            ++i;
        fracEnd = i;
        if (fracEnd == fracStart)
            return Literal::Keep;
    }
    qint64 exponent = 0;
    const bool hasExponent = i < n && (p[i] == 'e' || p[i] == 'E');
    if (hasExponent) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (p[i] == '+' || p[i] == '-'))
            negativeExponent = p[i++] == '-';
        if (i == n || !isDigit(p[i]))
            return Literal::Keep;
        while (i < n && isDigit(p[i])) {
            if (exponent < 100000)
                exponent = exponent * 10 + (p[i] - '0');
            ++i;
        }
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != n)
        return Literal::Keep;

    const bool plain = fracStart == fracEnd && !hasExponent && intEnd - intStart <= 18;
    if (plain)
        return Literal::Keep; // fits 64 bits, Qt stores it exactly

    // digits × 10^scale, with leading and trailing zeros stripped.
    QByteArray digits = QByteArray(p + intStart, intEnd - intStart) + QByteArray(p + fracStart, fracEnd - fracStart);
    qint64 scale = exponent - (fracEnd - fracStart);
    qsizetype lead = 0;
    while (lead < digits.size() && digits.at(lead) == '0')
        ++lead;
    digits.remove(0, lead);
    if (digits.isEmpty()) {
        *text = "0";
        return Literal::Integer;
    }
    while (digits.endsWith('0')) {
        digits.chop(1);
        ++scale;
    }
    // Short literals are exact as doubles; only those Qt could round need a decision.
    const qint64 magnitude = digits.size() + scale; // number of integer digits
    if (digits.size() <= 15 && magnitude <= 15)
        return Literal::Keep;
    if (scale < 0 || magnitude > 19)
        return Literal::NotInteger;
    QByteArray integer = digits + QByteArray(scale, '0');
    if (integer.size() == 19) {
        const QByteArray limit = negative ? "9223372036854775808" : "9223372036854775807";
        if (integer > limit)
            return Literal::NotInteger;
    }
    *text = negative ? "-" + integer : integer;
    return Literal::Integer;
}
} // namespace

QJsonDocument JsonReader::parseDocument(const QByteArray &body, QJsonParseError *error)
{
    const char *p = body.constData();
    const qsizetype n = body.size();
    QByteArray rewritten;
    qsizetype copied = 0;
    qsizetype i = 0;
    while (i < n) {
        const char c = p[i];
        if (c == '"') {
            for (++i; i < n; ++i) {
                if (p[i] == '\\')
                    ++i;
                else if (p[i] == '"')
                    break;
            }
            ++i;
            continue;
        }
        if (c != '-' && !isDigit(c)) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        bool plain = true;
        while (i < n && (isDigit(p[i]) || p[i] == '-' || p[i] == '+' || p[i] == '.' || p[i] == 'e' || p[i] == 'E')) {
            if (!isDigit(p[i]) && p[i] != '-')
                plain = false;
            ++i;
        }
        if (plain && i - start < 16)
            continue; // short plain integers are always exact
        QByteArray integer;
        const Literal kind = classifyNumber(p + start, i - start, &integer);
        if (kind == Literal::Keep)
            continue;
        rewritten.append(p + copied, start - copied);
        rewritten.append(kind == Literal::Integer ? integer : QByteArrayLiteral("0.5"));
        copied = i;
    }
    if (copied == 0)
        return QJsonDocument::fromJson(body, error);
    rewritten.append(p + copied, n - copied);
    return QJsonDocument::fromJson(rewritten, error);
}
