#include "ServerProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace fs = std::filesystem;

std::string &serverBinary()
{
    static std::string path;
    return path;
}

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "theorvane-server-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

namespace {

int spawn(const std::vector<std::string> &args, int &outFd)
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        // A test runner that dies must not leave servers behind.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(fds[1], STDOUT_FILENO);
        dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char *> argv;
        std::string binary = serverBinary();
        argv.push_back(binary.data());
        std::vector<std::string> copy = args;
        for (auto &a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    outFd = fds[0];
    return pid;
}

std::string readAll(int fd)
{
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    return out;
}

int waitExit(int pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

CommandResult runServerCommand(const std::vector<std::string> &args)
{
    int fd = -1;
    const int pid = spawn(args, fd);
    CommandResult r;
    r.output = readAll(fd);
    close(fd);
    r.exitCode = waitExit(pid);
    return r;
}

ServerProcess::ServerProcess(const fs::path &dataDir, std::vector<std::string> extraArgs)
{
    std::vector<std::string> args{"--port", "0", "--data", dataDir.string()};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    pid_ = spawn(args, outFd_);
    // Read the start-up lines until the one that names the port (or the process gives up).
    const std::string marker = "listening on http://127.0.0.1:";
    char ch;
    std::string line;
    while (read(outFd_, &ch, 1) == 1) {
        startup_ += ch;
        if (ch != '\n') {
            line += ch;
            continue;
        }
        if (line.rfind(marker, 0) == 0) {
            port_ = std::stoi(line.substr(marker.size()));
            return;
        }
        line.clear();
    }
    const int code = waitExit(pid_);
    pid_ = -1;
    throw std::runtime_error("server did not start (exit " + std::to_string(code) + "): " + startup_);
}

ServerProcess::~ServerProcess()
{
    if (pid_ > 0)
        stop();
}

CommandResult ServerProcess::stop()
{
    CommandResult r;
    if (pid_ <= 0)
        return r;
    kill(pid_, SIGTERM);
    r.output = readAll(outFd_);
    close(outFd_);
    r.exitCode = waitExit(pid_);
    pid_ = -1;
    return r;
}

std::string Reply::header(const std::string &key) const
{
    auto it = headers.find(key);
    return it == headers.end() ? std::string() : it->second;
}

Reply Api::wrap(const httplib::Result &result)
{
    Reply r;
    if (!result) {
        r.status = -1;
        return r;
    }
    r.status = result->status;
    r.body = result->body;
    r.headers = result->headers;
    r.json = nlohmann::json::parse(r.body, nullptr, false);
    return r;
}

namespace {
httplib::Headers authHeaders(const std::string &token)
{
    httplib::Headers h;
    if (!token.empty())
        h.emplace("Authorization", "Bearer " + token);
    return h;
}
} // namespace

Reply Api::get(const std::string &path, const std::string &token)
{
    return wrap(client_.Get(path, authHeaders(token)));
}

Reply Api::post(const std::string &path, const nlohmann::json &body, const std::string &token)
{
    return postRaw(path, body.dump(), "application/json", token);
}

Reply Api::postRaw(const std::string &path, const std::string &body, const std::string &contentType,
                   const std::string &token)
{
    return wrap(client_.Post(path, authHeaders(token), body, contentType));
}

Reply Api::send(const std::string &method, const std::string &path, const std::string &token)
{
    httplib::Request req;
    req.method = method;
    req.path = path;
    req.headers = authHeaders(token);
    if (method == "POST" || method == "PUT" || method == "PATCH")
        req.body = "{}";
    if (!req.body.empty())
        req.headers.emplace("Content-Type", "application/json");
    return wrap(client_.send(req));
}

Reply Api::upload(const std::string &fileName, const std::string &content, const std::string &token)
{
    httplib::MultipartFormDataItems items{{"file", content, fileName, "application/octet-stream"}};
    return wrap(client_.Post("/api/mobile/files/upload", authHeaders(token), items));
}

std::string Api::login(const std::string &email, const std::string &password)
{
    Reply r = post("/api/mobile/auth", {{"action", "login"}, {"email", email}, {"password", password}});
    if (r.status != 200 || !r.json.is_object() || !r.json.contains("token"))
        return {};
    return r.json["token"].get<std::string>();
}

nlohmann::json Api::me(const std::string &token)
{
    return post("/api/mobile/auth", {{"action", "check"}, {"token", token}}).json["user"];
}

std::string rawExchange(int port, const std::string &request)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        close(fd);
        return {};
    }
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    // Read until the server closes or has sent one whole response head and nothing follows for a while.
    std::string out;
    char buffer[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0)
            break;
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        out.append(buffer, static_cast<size_t>(n));
        if (out.find("\r\n\r\n") != std::string::npos && out.find("}") != std::string::npos)
            break;
    }
    close(fd);
    return out;
}
