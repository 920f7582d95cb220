#include "JsonDom.h"

#include <algorithm>

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

// Length of the valid UTF-8 sequence starting at p (lead byte >= 0x80), or 0 if it is invalid.
int utf8SequenceLength(const unsigned char *p, std::size_t available)
{
    const unsigned char c = p[0];
    int length;
    char32_t min;
    char32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2, min = 0x80, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3, min = 0x800, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4, min = 0x10000, cp = c & 0x07;
    } else {
        return 0;
    }
    if (available < std::size_t(length))
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}
} // namespace

class JsonDomParser
{
public:
    JsonDomParser(JsonDom &dom) : m_dom(dom), p(dom.m_source.constData()), n(std::size_t(dom.m_source.size())) {}

    bool run()
    {
        if (!value(0))
            return false;
        skipSpace();
        if (i != n)
            return fail("unexpected data after the value");
        return true;
    }

    QString error;

private:
    bool fail(const char *what)
    {
        error = QStringLiteral("%1 at offset %2").arg(QLatin1String(what)).arg(i);
        return false;
    }

    void skipSpace()
    {
        while (i < n && (p[i] == ' ' || p[i] == '\n' || p[i] == '\r' || p[i] == '\t'))
            ++i;
    }

    std::uint32_t push(JsonDom::Type type)
    {
        JsonDom::Node node;
        node.type = type;
        m_dom.m_nodes.push_back(node);
        return std::uint32_t(m_dom.m_nodes.size() - 1);
    }
    void close(std::uint32_t index) { m_dom.m_nodes[index].end = std::uint32_t(m_dom.m_nodes.size()); }

    bool literal(const char *word, std::size_t length, JsonDom::Type type, bool boolean)
    {
        if (n - i < length || std::string_view(p + i, length) != std::string_view(word, length))
            return fail("unexpected character");
        i += length;
        const std::uint32_t index = push(type);
        m_dom.m_nodes[index].boolean = boolean;
        close(index);
        return true;
    }

    bool value(int depth)
    {
        skipSpace();
        if (i >= n)
            return fail("unexpected end of input");
        switch (p[i]) {
        case '{':
            return container(depth, true);
        case '[':
            return container(depth, false);
        case '"':
            return string();
        case 't':
            return literal("true", 4, JsonDom::Type::Bool, true);
        case 'f':
            return literal("false", 5, JsonDom::Type::Bool, false);
        case 'n':
            return literal("null", 4, JsonDom::Type::Null, false);
        default:
            if (p[i] == '-' || isDigit(p[i]))
                return number();
            return fail("unexpected character");
        }
    }

    bool container(int depth, bool isObject)
    {
        if (depth >= JsonDom::maxDepth)
            return fail("nesting too deep");
        const char closing = isObject ? '}' : ']';
        const std::uint32_t index = push(isObject ? JsonDom::Type::Object : JsonDom::Type::Array);
        ++i;
        std::uint32_t count = 0;
        skipSpace();
        if (i < n && p[i] == closing) {
            ++i;
        } else {
            for (;;) {
                if (isObject) {
                    skipSpace();
                    if (i >= n || p[i] != '"')
                        return fail("expected a key");
                    if (!string())
                        return false;
                    skipSpace();
                    if (i >= n || p[i] != ':')
                        return fail("expected ':'");
                    ++i;
                    ++count;
                }
                if (!value(depth + 1))
                    return false;
                ++count;
                skipSpace();
                if (i < n && p[i] == ',') {
                    ++i;
                    continue;
                }
                if (i < n && p[i] == closing) {
                    ++i;
                    break;
                }
                return fail(isObject ? "expected ',' or '}'" : "expected ',' or ']'");
            }
        }
        m_dom.m_nodes[index].length = count;
        close(index);
        return true;
    }

    bool number()
    {
        const std::size_t start = i;
        if (p[i] == '-')
            ++i;
        if (i < n && p[i] == '0') {
            ++i;
        } else if (i < n && p[i] >= '1' && p[i] <= '9') {
            while (i < n && isDigit(p[i]))
                ++i;
        } else {
            return fail("invalid number");
        }
        if (i < n && p[i] == '.') {
            ++i;
            if (i >= n || !isDigit(p[i]))
                return fail("invalid number");
            while (i < n && isDigit(p[i]))
                ++i;
        }
        if (i < n && (p[i] == 'e' || p[i] == 'E')) {
            ++i;
            if (i < n && (p[i] == '+' || p[i] == '-'))
                ++i;
            if (i >= n || !isDigit(p[i]))
                return fail("invalid number");
            while (i < n && isDigit(p[i]))
                ++i;
        }
        const std::uint32_t index = push(JsonDom::Type::Number);
        m_dom.m_nodes[index].offset = std::uint32_t(start);
        m_dom.m_nodes[index].length = std::uint32_t(i - start);
        close(index);
        return true;
    }

    bool string()
    {
        ++i; // opening quote
        const std::size_t start = i;
        bool underscore = false;
        // Fast path: plain text without escapes stays in the source.
        while (i < n) {
            const unsigned char c = static_cast<unsigned char>(p[i]);
            if (c == '"' || c == '\\')
                break;
            if (c < 0x20)
                return fail("control character in string");
            if (c >= 0x80) {
                const int length = utf8SequenceLength(reinterpret_cast<const unsigned char *>(p + i), n - i);
                if (!length)
                    return fail("invalid UTF-8 in string");
                i += std::size_t(length);
                continue;
            }
            if (c == '_')
                underscore = true;
            ++i;
        }
        if (i >= n)
            return fail("unterminated string");
        if (p[i] == '"') {
            const std::uint32_t index = push(JsonDom::Type::String);
            JsonDom::Node &node = m_dom.m_nodes[index];
            node.offset = std::uint32_t(start);
            node.length = std::uint32_t(i - start);
            node.underscore = underscore;
            ++i;
            close(index);
            return true;
        }

        // Slow path: resolve escapes into the decoded buffer.
        std::string &out = m_dom.m_decoded;
        const std::size_t offset = out.size();
        out.append(p + start, i - start);
        while (i < n && p[i] != '"') {
            const unsigned char c = static_cast<unsigned char>(p[i]);
            if (c < 0x20)
                return fail("control character in string");
            if (c >= 0x80) {
                const int length = utf8SequenceLength(reinterpret_cast<const unsigned char *>(p + i), n - i);
                if (!length)
                    return fail("invalid UTF-8 in string");
                out.append(p + i, std::size_t(length));
                i += std::size_t(length);
                continue;
            }
            if (c != '\\') {
                if (c == '_')
                    underscore = true;
                out.push_back(char(c));
                ++i;
                continue;
            }
            if (++i >= n)
                return fail("unterminated string");
            switch (p[i]) {
            case '"': out.push_back('"'); break;
            case '\\': out.push_back('\\'); break;
            case '/': out.push_back('/'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'u': {
                char32_t cp = 0;
                if (!hex4(i + 1, &cp))
                    return fail("invalid \\u escape");
                i += 4;
                if (cp >= 0xDC00 && cp <= 0xDFFF)
                    return fail("unpaired surrogate");
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    char32_t low = 0;
                    if (i + 2 >= n || p[i + 1] != '\\' || p[i + 2] != 'u' || !hex4(i + 3, &low) || low < 0xDC00 || low > 0xDFFF)
                        return fail("unpaired surrogate");
                    i += 6;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                if (cp == '_')
                    underscore = true;
                appendUtf8(out, cp);
                break;
            }
            default:
                return fail("invalid escape");
            }
            ++i;
        }
        if (i >= n)
            return fail("unterminated string");
        ++i;
        const std::uint32_t index = push(JsonDom::Type::String);
        JsonDom::Node &node = m_dom.m_nodes[index];
        node.decoded = true;
        node.offset = std::uint32_t(offset);
        node.length = std::uint32_t(out.size() - offset);
        node.underscore = underscore;
        close(index);
        return true;
    }

    bool hex4(std::size_t at, char32_t *out) const
    {
        if (at + 4 > n)
            return false;
        char32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int h = hexValue(p[at + k]);
            if (h < 0)
                return false;
            v = (v << 4) | char32_t(h);
        }
        *out = v;
        return true;
    }

    JsonDom &m_dom;
    const char *p;
    std::size_t n;
    std::size_t i = 0;
};

bool JsonDom::parse(const QByteArray &body, QString *error)
{
    m_source = body;
    m_decoded.clear();
    m_nodes.clear();
    if (body.size() >= qsizetype(INT32_MAX)) {
        *error = QStringLiteral("body too large");
        return false;
    }
    m_nodes.reserve(std::size_t(body.size() / 24 + 4));
    JsonDomParser parser(*this);
    if (!parser.run()) {
        *error = parser.error;
        m_nodes.clear();
        return false;
    }
    return true;
}

QByteArrayView JsonDom::text(const Node &node) const
{
    if (node.decoded)
        return QByteArrayView(m_decoded.data() + node.offset, qsizetype(node.length));
    return QByteArrayView(m_source.constData() + node.offset, qsizetype(node.length));
}

QString JsonDom::string(const Node &node) const
{
    // Thousands of marks stacked on one letter look like thirty, yet every layout of them shapes them
    // all: one such message or name would stall each frame that shows it.
    const QString text = QString::fromUtf8(this->text(node));
    // Marks start at U+0300: without a longer run of such code units there is nothing to drop.
    qsizetype wide = 0;
    const auto hasWideRun = std::any_of(text.cbegin(), text.cend(), [&wide](QChar ch) {
        wide = ch.unicode() >= 0x300 ? wide + 1 : 0;
        return wide > maxCombiningRun;
    });
    if (!hasWideRun)
        return text;
    QString kept;
    int run = 0;
    qsizetype copied = 0; // kept holds text[0, copied) without the marks dropped so far
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype start = i;
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(text[i], text[i + 1]), ++i;
        run = c >= 0x300 && QChar::isMark(c) ? run + 1 : 0;
        if (run > maxCombiningRun) {
            kept += QStringView(text).sliced(copied, start - copied);
            copied = i + 1;
        }
    }
    if (copied == 0)
        return text;
    kept += QStringView(text).sliced(copied);
    return kept;
}

std::optional<qint64> JsonDom::integer(const Node &node) const
{
    if (node.type != Type::Number)
        return std::nullopt;
    const QByteArrayView t = text(node);
    const char *p = t.data();
    const qsizetype n = t.size();
    qsizetype i = 0;
    const bool negative = p[0] == '-';
    if (negative)
        ++i;
    // digits × 10^scale, exactly.
    std::string digits;
    qint64 scale = 0;
    while (i < n && isDigit(p[i]))
        digits.push_back(p[i++]);
    if (i < n && p[i] == '.') {
        ++i;
        while (i < n && isDigit(p[i])) {
            digits.push_back(p[i++]);
            --scale;
        }
    }
    if (i < n && (p[i] == 'e' || p[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (p[i] == '+' || p[i] == '-'))
            negativeExponent = p[i++] == '-';
        qint64 exponent = 0;
        while (i < n && isDigit(p[i])) {
            if (exponent < 1000000000)
                exponent = exponent * 10 + (p[i] - '0');
            ++i;
        }
        scale += negativeExponent ? -exponent : exponent;
    }
    std::size_t lead = 0;
    while (lead < digits.size() && digits[lead] == '0')
        ++lead;
    digits.erase(0, lead);
    if (digits.empty())
        return 0;
    while (digits.back() == '0') {
        digits.pop_back();
        ++scale;
    }
    if (scale < 0 || qint64(digits.size()) + scale > 19)
        return std::nullopt;
    unsigned __int128 value = 0;
    for (char d : digits)
        value = value * 10 + unsigned(d - '0');
    for (qint64 k = 0; k < scale; ++k)
        value *= 10;
    const unsigned __int128 limit = (unsigned __int128)(std::uint64_t(1) << 63);
    if (negative) {
        if (value > limit)
            return std::nullopt;
        return value == limit ? std::numeric_limits<qint64>::min() : -qint64(value);
    }
    if (value >= limit)
        return std::nullopt;
    return qint64(value);
}

std::uint32_t JsonDom::member(std::uint32_t object, QByteArrayView key) const
{
    const Node &container = m_nodes[object];
    if (container.type != Type::Object)
        return npos;
    std::uint32_t found = npos;
    std::uint32_t child = object + 1;
    for (std::uint32_t k = 0; k < container.length; k += 2) {
        const std::uint32_t value = child + 1;
        if (text(m_nodes[child]) == key)
            found = value;
        child = m_nodes[value].end;
    }
    return found;
}

QString JsonDom::typeName(Type type)
{
    switch (type) {
    case Type::Null: return QStringLiteral("null");
    case Type::Bool: return QStringLiteral("bool");
    case Type::Number: return QStringLiteral("number");
    case Type::String: return QStringLiteral("string");
    case Type::Array: return QStringLiteral("array");
    case Type::Object: break;
    }
    return QStringLiteral("object");
}
