#pragma once

#include <QString>

#include <utility>
#include <variant>

// The one error of server access. Screens show description().
struct APIError {
    enum class Kind {
        ServerError,     // the server's own message, or "HTTP <code>"
        NetworkError,    // a message about the network
        InvalidURL,      // the address could not be formed; nothing was sent
        InvalidResponse, // the answer was not an HTTP response
        Decoding,        // the body did not decode; message names record, field and problem
        Transport,       // refused, unreachable, timed out, cancelled: the platform's text
        File,            // a local file could not be read: the platform's text
    };

    Kind kind = Kind::InvalidResponse;
    QString message;
    // For Transport: the QNetworkReply::NetworkError value, so callers can tell a time-out from a refusal.
    int transportCode = 0;

    static APIError serverError(QString message) { return {Kind::ServerError, std::move(message)}; }
    static APIError networkError(QString message) { return {Kind::NetworkError, std::move(message)}; }
    static APIError invalidURL() { return {Kind::InvalidURL, {}}; }
    static APIError invalidResponse() { return {Kind::InvalidResponse, {}}; }
    static APIError decoding(QString message) { return {Kind::Decoding, std::move(message)}; }
    static APIError transport(QString message, int code) { return {Kind::Transport, std::move(message), code}; }
    static APIError file(QString message) { return {Kind::File, std::move(message)}; }

    QString description() const;
    bool operator==(const APIError &) const = default;
};

// Holds either a value or an APIError; never throws.
template <class T>
class APIResult
{
public:
    // Only for containers that need a default (QCoro::waitFor): an "Invalid server response" error.
    APIResult() : m_data(std::in_place_index<1>, APIError::invalidResponse()) {}
    APIResult(T value) : m_data(std::in_place_index<0>, std::move(value)) {}
    APIResult(APIError error) : m_data(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_data.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return std::get<0>(m_data); }
    T &value() & { return std::get<0>(m_data); }
    T &&value() && { return std::get<0>(std::move(m_data)); }
    // On a value this is a neutral error (kind InvalidResponse) rather than a crash.
    const APIError &error() const
    {
        static const APIError none;
        return ok() ? none : std::get<1>(m_data);
    }

private:
    std::variant<T, APIError> m_data;
};
