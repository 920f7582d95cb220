#pragma once

#include "Accounts.h"
#include "Database.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

struct ServiceConfig {
    std::filesystem::path dataDir;
    // How long a call may ring unanswered before it counts as missed.
    double ringTimeoutSeconds = 45.0;
    // An active call that neither side has asked about for this long is over.
    double idleCallTimeoutSeconds = 60.0;
};

// A failure that becomes {"success":false,"error":message} with the given HTTP status.
struct HttpError : std::runtime_error {
    HttpError(int status, const std::string &message) : std::runtime_error(message), status(status) {}
    int status;
};

inline constexpr size_t kMaxUploadBytes = 10 * 1024 * 1024;
// Multipart framing around the largest accepted file.
inline constexpr size_t kMaxRequestBytes = kMaxUploadBytes + 64 * 1024;
inline constexpr size_t kMaxJsonBodyBytes = 1024 * 1024;
// Bodies up to this size are drained and answered 413; larger ones get 413 and a closed connection.
inline constexpr size_t kMaxDrainedBytes = 64 * 1024 * 1024;

// The JSON API under /api/mobile and the content path /content/, on one httplib server.
class Service {
public:
    Service(ServiceConfig config, Database &db);

    void install(httplib::Server &server);
    // Called once the port is known: links handed to clients point here.
    void setPublicBase(const std::string &serverUrl);

    const std::string &serverUrl() const { return serverUrl_; }
    const std::string &contentBase() const { return contentBase_; }
    Database &db() { return db_; }
    const ServiceConfig &config() const { return config_; }

    struct Context {
        const httplib::Request &req;
        httplib::Response &res;
        std::optional<Member> member; // set for routes that need a signed-in member
        nlohmann::json body;          // the parsed JSON object of a JSON POST
    };
    using Handler = std::function<void(Service &, Context &)>;

    // Routes under /api/mobile take exact paths; content routes take a prefix ending in "/".
    void route(const std::string &method, const std::string &path, bool needsAuth, bool jsonBody, Handler handler);

    // Text stored for an attachment address: links to this server's content path are kept relative, so they
    // survive a change of port; anything else is kept as given.
    std::string storeContentLink(const std::string &url) const;
    std::string resolveContentLink(const std::string &stored) const;

private:
    struct Route {
        Handler handler;
        bool needsAuth = false;
        bool jsonBody = false;
    };
    struct PathRoutes {
        std::map<std::string, Route> byMethod;
    };

    void dispatch(const httplib::Request &req, httplib::Response &res);
    const PathRoutes *findPath(const std::string &path) const;

    ServiceConfig config_;
    Database &db_;
    std::string serverUrl_;
    std::string contentBase_;
    std::map<std::string, PathRoutes> exact_;
    std::vector<std::pair<std::string, PathRoutes>> prefixes_;
};

// JSON helpers shared by the route files.
void sendJson(httplib::Response &res, int status, const nlohmann::json &body);
std::string requireString(const nlohmann::json &body, const char *key);
std::optional<std::string> optionalString(const nlohmann::json &body, const char *key);

void registerAccountRoutes(Service &service);
void registerMessagingRoutes(Service &service);
void registerFileRoutes(Service &service);
void registerCallRoutes(Service &service);
