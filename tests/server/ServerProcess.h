#pragma once

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// A temporary data folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path &path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Runs the server binary with a command line and waits for it to exit; returns the exit status and stdout.
struct CommandResult {
    int exitCode = -1;
    std::string output;
};
CommandResult runServerCommand(const std::vector<std::string> &args);

// The server binary as a child process on 127.0.0.1 with --port 0, stopped with SIGTERM at the end.
class ServerProcess {
public:
    explicit ServerProcess(const std::filesystem::path &dataDir, std::vector<std::string> extraArgs = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    int port() const { return port_; }
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // Every line printed up to "listening on ...".
    const std::string &startupOutput() const { return startup_; }

    // Sends SIGTERM and waits; returns the exit status and the rest of the output.
    CommandResult stop();

private:
    int pid_ = -1;
    int outFd_ = -1;
    int port_ = 0;
    std::string startup_;
};

// Path of the server binary, from the first command-line argument the runner got.
std::string &serverBinary();

// JSON over HTTP with cpp-httplib's client.
struct Reply {
    int status = 0;
    nlohmann::json json;
    std::string body;
    httplib::Headers headers;
    std::string header(const std::string &key) const;
};

class Api {
public:
    explicit Api(int port) : client_("127.0.0.1", port) { client_.set_read_timeout(60, 0); }

    Reply get(const std::string &path, const std::string &token = {});
    Reply post(const std::string &path, const nlohmann::json &body, const std::string &token = {});
    Reply postRaw(const std::string &path, const std::string &body, const std::string &contentType,
                  const std::string &token = {});
    Reply send(const std::string &method, const std::string &path, const std::string &token = {});
    Reply upload(const std::string &fileName, const std::string &content, const std::string &token);

    // Signs in and returns the token; empty when refused.
    std::string login(const std::string &email, const std::string &password);
    nlohmann::json me(const std::string &token);

private:
    Reply wrap(const httplib::Result &result);
    httplib::Client client_;
};

// Sends raw bytes on a fresh connection and returns whatever the server answers before closing.
std::string rawExchange(int port, const std::string &request);
