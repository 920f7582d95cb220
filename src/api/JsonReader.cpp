#include "JsonReader.h"

#include <cstring>

JsonReader::JsonReader(const JsonDom &dom, std::uint32_t object, const char *record, Keys keys, State *state, Origin origin)
    : m_dom(dom), m_object(object), m_record(record), m_keys(keys), m_state(state), m_origin(origin)
{
}

namespace {
char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}
char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}
bool isAscii(QByteArrayView text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

// Compares as it converts, so matching allocates nothing for the usual ASCII keys.
bool JsonReader::convertedKeyEquals(QByteArrayView key, QByteArrayView field)
{
    if (!key.contains('_'))
        return key == field; // one piece: unchanged
    if (key.front() != '_' && key.back() != '_') {
        // The common shape (sender_id): at least two pieces, nothing kept around them.
        qsizetype f = 0;
        bool pieceStart = false;
        for (char c : key) {
            if (c == '_') {
                pieceStart = f > 0;
                continue;
            }
            if (static_cast<unsigned char>(c) >= 0x80)
                return convertFromSnakeCase(QString::fromUtf8(key)).toUtf8() == field;
            const char out = pieceStart ? upper(c) : lower(c);
            pieceStart = false;
            if (f >= field.size() || field[f] != out)
                return false;
            ++f;
        }
        return f == field.size();
    }
    if (!isAscii(key))
        return JsonReader::convertFromSnakeCase(QString::fromUtf8(key)).toUtf8() == field;
    qsizetype first = 0;
    while (first < key.size() && key[first] == '_')
        ++first;
    if (first == key.size())
        return key == field;
    qsizetype last = key.size() - 1;
    while (key[last] == '_')
        --last;
    int pieces = 0;
    for (qsizetype i = first; i <= last; ++i) {
        if (key[i] != '_' && (i == first || key[i - 1] == '_'))
            ++pieces;
    }
    if (pieces <= 1)
        return key == field;

    qsizetype f = 0;
    auto put = [&](char c) {
        if (f >= field.size() || field[f] != c)
            return false;
        ++f;
        return true;
    };
    for (qsizetype i = 0; i < first; ++i) {
        if (!put('_'))
            return false;
    }
    bool firstPiece = true;
    for (qsizetype i = first; i <= last; ++i) {
        if (key[i] == '_')
            continue;
        const bool startsPiece = i == first || key[i - 1] == '_';
        if (startsPiece && i != first)
            firstPiece = false;
        const char c = (startsPiece && !firstPiece) ? upper(key[i]) : lower(key[i]);
        if (!put(c))
            return false;
    }
    for (qsizetype i = last + 1; i < key.size(); ++i) {
        if (!put('_'))
            return false;
    }
    return f == field.size();
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

std::uint32_t JsonReader::find(const char *field) const
{
    const QByteArrayView name(field, qsizetype(std::strlen(field)));
    if (m_keys == Keys::Exact)
        return m_dom.member(m_object, name);
    const JsonDom::Node &container = m_dom.node(m_object);
    std::uint32_t found = JsonDom::npos;
    std::uint32_t child = m_object + 1;
    for (std::uint32_t k = 0; k < container.length; k += 2) {
        const JsonDom::Node &key = m_dom.node(child);
        const QByteArrayView text = m_dom.text(key);
        if (key.underscore ? convertedKeyEquals(text, name) : text == name)
            found = child + 1; // a repeated key: the last one counts
        child = m_dom.node(child + 1).end;
    }
    return found;
}

const JsonDom::Node *JsonReader::lookup(const char *field, bool required, std::uint32_t *index)
{
    if (!ok())
        return nullptr;
    const std::uint32_t at = find(field);
    if (at == JsonDom::npos || m_dom.node(at).type == JsonDom::Type::Null) {
        if (required)
            fail(field, QStringLiteral("missing required field"));
        return nullptr;
    }
    if (index)
        *index = at;
    return &m_dom.node(at);
}

QString JsonReader::path() const
{
    if (!m_origin.parent)
        return {};
    QString here = m_origin.parent->childPath(m_origin.field);
    if (m_origin.index >= 0)
        here += QLatin1Char('[') + QString::number(m_origin.index) + QLatin1Char(']');
    return here;
}

QString JsonReader::childPath(const char *field) const
{
    const QString here = path();
    return here.isEmpty() ? QString::fromLatin1(field) : here + QLatin1Char('.') + QLatin1String(field);
}

void JsonReader::fail(const char *field, const QString &what)
{
    if (!ok())
        return;
    QString text = QString::fromLatin1(m_record) + QLatin1Char('.') + QLatin1String(field) + QStringLiteral(": ") + what;
    if (m_origin.parent)
        text += QStringLiteral(" (at ") + childPath(field) + QLatin1Char(')');
    m_state->error = text;
}

namespace {
QString expected(const char *type, const JsonDom::Node &node)
{
    return QStringLiteral("expected %1, got %2").arg(QLatin1String(type), JsonDom::typeName(node.type));
}
} // namespace

std::optional<QString> JsonReader::readString(const char *field, bool required)
{
    const JsonDom::Node *node = lookup(field, required);
    if (!node)
        return std::nullopt;
    if (node->type != JsonDom::Type::String) {
        fail(field, expected("string", *node));
        return std::nullopt;
    }
    return m_dom.string(*node);
}

std::optional<qint64> JsonReader::readInteger(const char *field, bool required)
{
    const JsonDom::Node *node = lookup(field, required);
    if (!node)
        return std::nullopt;
    if (node->type != JsonDom::Type::Number) {
        fail(field, expected("integer", *node));
        return std::nullopt;
    }
    if (const auto number = m_dom.integer(*node))
        return number;
    fail(field, QStringLiteral("expected integer, got %1, which is not an exact 64-bit integer")
                    .arg(QString::fromUtf8(m_dom.text(*node).toByteArray().left(40))));
    return std::nullopt;
}

std::optional<bool> JsonReader::readBool(const char *field, bool required)
{
    const JsonDom::Node *node = lookup(field, required);
    if (!node)
        return std::nullopt;
    if (node->type != JsonDom::Type::Bool) {
        fail(field, expected("bool", *node));
        return std::nullopt;
    }
    return node->boolean;
}
