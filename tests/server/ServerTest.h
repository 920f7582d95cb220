#pragma once

// Helpers of the reference server's tests: JSON over HTTP with cpp-httplib's client, raw bytes on a
// fresh connection, and three members on a server of their own.
#include "ReferenceServer.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <QTcpSocket>
#include <QTest>

#include <optional>

using json = nlohmann::json;

// The text of a JSON string; empty for anything else. (Implicit conversions to std::string do not compile
// beside Qt's headers either.)
inline std::string str(const json &value)
{
    return value.is_string() ? value.get<std::string>() : std::string();
}

// Compares as JSON text, so strings, numbers and JSON mix and print. (QCOMPARE on json itself does not
// compile: its conversions clash with QTest's overloads.)
inline QString dumped(const json &value)
{
    return QString::fromStdString(value.dump());
}
#define COMPARE_JSON(actual, expected) QCOMPARE(dumped(json(actual)), dumped(json(expected)))

struct Reply {
    int status = 0;
    nlohmann::json json;
    std::string body;
    httplib::Headers headers;
    std::string header(const std::string &key) const
    {
        const auto it = headers.find(key);
        return it == headers.end() ? std::string() : it->second;
    }
};

class Api
{
public:
    explicit Api(int port) : m_client("127.0.0.1", port) { m_client.set_read_timeout(60, 0); }

    Reply get(const std::string &path, const std::string &token = {}) { return wrap(m_client.Get(path, auth(token))); }
    Reply post(const std::string &path, const json &body, const std::string &token = {})
    {
        return postRaw(path, body.dump(), "application/json", token);
    }
    Reply postRaw(const std::string &path, const std::string &body, const std::string &type, const std::string &token = {})
    {
        return wrap(m_client.Post(path, auth(token), body, type));
    }
    // Any method; the ones that carry a body send an empty JSON object.
    Reply send(const std::string &method, const std::string &path, const std::string &token = {})
    {
        httplib::Request request;
        request.method = method;
        request.path = path;
        request.headers = auth(token);
        if (method == "POST" || method == "PUT" || method == "PATCH") {
            request.body = "{}";
            request.headers.emplace("Content-Type", "application/json");
        }
        return wrap(m_client.send(request));
    }
    Reply upload(const std::string &fileName, const std::string &content, const std::string &token)
    {
        const httplib::MultipartFormDataItems items{{"file", content, fileName, "application/octet-stream"}};
        return wrap(m_client.Post("/api/mobile/files/upload", auth(token), items));
    }

    // The token of a sign-in; empty when refused.
    std::string login(const std::string &email, const std::string &password)
    {
        const Reply r = post("/api/mobile/auth", {{"action", "login"}, {"email", email}, {"password", password}});
        return r.status == 200 && r.json.contains("token") ? r.json["token"].get<std::string>() : std::string();
    }
    json me(const std::string &token) { return post("/api/mobile/auth", {{"action", "check"}, {"token", token}}).json["user"]; }

private:
    static httplib::Headers auth(const std::string &token)
    {
        return token.empty() ? httplib::Headers() : httplib::Headers{{"Authorization", "Bearer " + token}};
    }
    static Reply wrap(const httplib::Result &result)
    {
        if (!result)
            return {-1, {}, {}, {}};
        return {result->status, json::parse(result->body, nullptr, false), result->body, result->headers};
    }

    httplib::Client m_client;
};

// Writes raw bytes on a fresh connection; whatever comes back until the server closes or one answer is in.
inline QByteArray rawExchange(int port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(port));
    if (!socket.waitForConnected(10000))
        return {};
    socket.write(request);
    QByteArray answer;
    while (!(answer.contains("\r\n\r\n") && answer.contains('}')) && socket.waitForReadyRead(10000))
        answer += socket.readAll();
    return answer + socket.readAll();
}

// Alice is friends with Bob and with Carol; Bob and Carol are not friends.
struct ThreeMembers {
    ReferenceServer server;
    std::optional<Api> api;
    std::string alice, bob, carol;       // tokens
    std::string aliceId, bobId, carolId; // account identifiers

    bool start(const QStringList &serverArguments = {})
    {
        server.setDemo(false);
        for (const QStringList &member : {QStringList{"alice@example.test", "alice-password", "Alice Adams"},
                                          QStringList{"bob@example.test", "bob-password", "Боб Браун"},
                                          QStringList{"carol@example.test", "carol-password", "Carol"}}) {
            if (server.runCommand(QStringList{"--add-member"} + member) != 0)
                return false;
        }
        for (const char *other : {"bob@example.test", "carol@example.test"}) {
            if (server.runCommand({"--befriend", "alice@example.test", other}) != 0)
                return false;
        }
        if (!server.start(serverArguments))
            return false;
        api.emplace(server.port());
        alice = api->login("alice@example.test", "alice-password");
        bob = api->login("bob@example.test", "bob-password");
        carol = api->login("carol@example.test", "carol-password");
        const auto idOf = [this](const std::string &token) {
            const json user = api->me(token);
            return user.is_object() ? user.value("id", "") : std::string();
        };
        aliceId = idOf(alice);
        bobId = idOf(bob);
        carolId = idOf(carol);
        return !aliceId.empty() && !bobId.empty() && !carolId.empty();
    }
};
