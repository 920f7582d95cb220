#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A strict, read-only JSON document: RFC 8259 grammar, valid UTF-8 only, no lone surrogates, nesting
// bounded. Numbers keep their literal text, so integers are read exactly whatever their size.
// Nodes sit in one array in document order; a container is followed by its descendants.
class JsonDom
{
public:
    enum class Type : std::uint8_t { Null, Bool, Number, String, Array, Object };

    struct Node {
        Type type = Type::Null;
        bool boolean = false;
        bool decoded = false;    // string text lives in the decoded buffer (it had escapes)
        bool underscore = false; // string contains "_" (keys that may need snake-case conversion)
        std::uint32_t offset = 0; // string or number text
        std::uint32_t length = 0; // text length; for containers the number of child nodes (keys included)
        std::uint32_t end = 0;    // index just past this node's last descendant
    };

    static constexpr std::uint32_t npos = UINT32_MAX;
    static constexpr int maxDepth = 200;

    // False with a short reason ("unexpected character at offset 3") when the body is not such JSON.
    bool parse(const QByteArray &body, QString *error);

    const Node &node(std::uint32_t index) const { return m_nodes[index]; }
    std::uint32_t root() const { return 0; }

    // Raw UTF-8 text of a string (escapes resolved) or a number literal.
    QByteArrayView text(const Node &node) const;
    // As text; a run of more combining marks than Unicode's stream-safe limit keeps its first ones.
    QString string(const Node &node) const;
    static constexpr int maxCombiningRun = 30;
    // The number as a signed 64-bit integer if the literal is exactly one (3, 3.0, 1e3 are; 2.5 is not).
    std::optional<qint64> integer(const Node &node) const;

    // In an object: the value node of the member with this exact key (the last one if repeated), or npos.
    std::uint32_t member(std::uint32_t object, QByteArrayView key) const;

    static QString typeName(Type type);

private:
    friend class JsonDomParser;
    QByteArray m_source;
    std::string m_decoded;
    std::vector<Node> m_nodes;
};
