#include "Service.h"

#include "Util.h"

#include <iostream>

namespace {

const char *statusText(int status)
{
    switch (status) {
    case 400: return "Bad request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not found";
    case 405: return "Method not allowed";
    case 409: return "Conflict";
    case 411: return "Length required";
    case 413: return "Request body too large";
    case 415: return "Unsupported media type";
    case 416: return "Range not satisfiable";
    case 500: return "Internal server error";
    default: return "Request failed";
    }
}

std::string bearerToken(const httplib::Request &req)
{
    const std::string header = req.get_header_value("Authorization");
    const std::string prefix = "Bearer ";
    if (header.size() <= prefix.size() || header.compare(0, prefix.size(), prefix) != 0)
        return {};
    return header.substr(prefix.size());
}

} // namespace

void sendJson(httplib::Response &res, int status, const nlohmann::json &body)
{
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    res.set_content(body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                    "application/json; charset=utf-8");
}

std::string requireString(const nlohmann::json &body, const char *key)
{
    const auto it = body.find(key);
    if (it == body.end() || it->is_null())
        throw HttpError(400, std::string("Missing field: ") + key);
    if (!it->is_string())
        throw HttpError(400, std::string("Field must be a string: ") + key);
    return it->get<std::string>();
}

std::optional<std::string> optionalString(const nlohmann::json &body, const char *key)
{
    const auto it = body.find(key);
    if (it == body.end() || it->is_null())
        return std::nullopt;
    if (!it->is_string())
        throw HttpError(400, std::string("Field must be a string: ") + key);
    return it->get<std::string>();
}

Service::Service(ServiceConfig config, Database &db) : config_(std::move(config)), db_(db)
{
    registerAccountRoutes(*this);
    registerMessagingRoutes(*this);
    registerFileRoutes(*this);
    registerCallRoutes(*this);
}

void Service::setPublicBase(const std::string &serverUrl)
{
    serverUrl_ = serverUrl;
    contentBase_ = serverUrl + "/content/";
}

void Service::route(const std::string &method, const std::string &path, bool needsAuth, bool jsonBody,
                    Handler handler)
{
    Route r{std::move(handler), needsAuth, jsonBody};
    if (!path.empty() && path.back() == '/') {
        for (auto &[prefix, routes] : prefixes_) {
            if (prefix == path) {
                routes.byMethod[method] = std::move(r);
                return;
            }
        }
        PathRoutes routes;
        routes.byMethod[method] = std::move(r);
        prefixes_.emplace_back(path, std::move(routes));
    } else {
        exact_[path].byMethod[method] = std::move(r);
    }
}

const Service::PathRoutes *Service::findPath(const std::string &path) const
{
    if (auto it = exact_.find(path); it != exact_.end())
        return &it->second;
    for (const auto &[prefix, routes] : prefixes_) {
        if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0)
            return &routes;
    }
    return nullptr;
}

std::string Service::storeContentLink(const std::string &url) const
{
    if (!contentBase_.empty() && url.compare(0, contentBase_.size(), contentBase_) == 0)
        return "content:" + url.substr(contentBase_.size());
    return url;
}

std::string Service::resolveContentLink(const std::string &stored) const
{
    const std::string marker = "content:";
    if (stored.compare(0, marker.size(), marker) == 0)
        return contentBase_ + stored.substr(marker.size());
    return stored;
}

void Service::install(httplib::Server &server)
{
    server.set_payload_max_length(kMaxRequestBytes);

    // Runs before httplib reads a body, so oversized or unbounded bodies are refused without being held.
    server.set_pre_routing_handler([](const httplib::Request &req, httplib::Response &res) {
        if (req.has_header("Transfer-Encoding")) {
            sendJson(res, 411, {{"success", false}, {"error", "Request body must have a Content-Length"}});
            res.set_header("Connection", "close");
            return httplib::Server::HandlerResponse::Handled;
        }
        const bool sendsBody = req.method == "POST" || req.method == "PUT" || req.method == "PATCH";
        if (sendsBody && !req.has_header("Content-Length")) {
            sendJson(res, 411, {{"success", false}, {"error", "Request body must have a Content-Length"}});
            res.set_header("Connection", "close");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.has_header("Content-Length")) {
            const std::string value = req.get_header_value("Content-Length");
            unsigned long long length = 0;
            bool valid = !value.empty() && value.size() <= 19
                && value.find_first_not_of("0123456789") == std::string::npos;
            if (valid)
                length = std::stoull(value);
            // Moderately oversized bodies are left to httplib, which reads and discards them before answering 413,
            // so the client is still reading when the answer comes. Absurd sizes are cut off at once.
            if (!valid || length > kMaxDrainedBytes) {
                sendJson(res, valid ? 413 : 400,
                         {{"success", false}, {"error", valid ? "Request body too large" : "Bad Content-Length"}});
                res.set_header("Connection", "close");
                return httplib::Server::HandlerResponse::Handled;
            }
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    auto handler = [this](const httplib::Request &req, httplib::Response &res) { dispatch(req, res); };
    server.Get(".*", handler);
    server.Post(".*", handler);
    server.Put(".*", handler);
    server.Patch(".*", handler);
    server.Delete(".*", handler);
    server.Options(".*", handler);

    // Every failure answered by httplib itself (bad request line, body over the cap) gets the JSON error shape.
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request &, httplib::Response &res) {
        if (!res.body.empty())
            return httplib::Server::HandlerResponse::Unhandled;
        sendJson(res, res.status, {{"success", false}, {"error", statusText(res.status)}});
        return httplib::Server::HandlerResponse::Handled;
    }));

    server.set_exception_handler([](const httplib::Request &req, httplib::Response &res, std::exception_ptr ep) {
        std::string what = "unknown error";
        try {
            if (ep)
                std::rethrow_exception(ep);
        } catch (const std::exception &e) {
            what = e.what();
        } catch (...) {
        }
        // One write per line, so lines from different request threads never interleave.
        std::cout << ("server error: " + req.method + " " + req.path + ": " + what + "\n") << std::flush;
        sendJson(res, 500, {{"success", false}, {"error", statusText(500)}});
    });
}

void Service::dispatch(const httplib::Request &req, httplib::Response &res)
{
    try {
        const PathRoutes *routes = findPath(req.path);
        if (!routes)
            throw HttpError(404, statusText(404));
        const std::string method = req.method == "HEAD" ? "GET" : req.method;
        const auto it = routes->byMethod.find(method);
        if (it == routes->byMethod.end()) {
            std::string allow;
            for (const auto &[m, r] : routes->byMethod)
                allow += (allow.empty() ? "" : ", ") + m;
            res.set_header("Allow", allow);
            throw HttpError(405, statusText(405));
        }
        const Route &route = it->second;

        Context ctx{req, res, std::nullopt, nlohmann::json()};
        if (route.needsAuth) {
            const std::string token = bearerToken(req);
            if (token.empty())
                throw HttpError(401, "Missing authorization token");
            auto guard = db_.lock();
            ctx.member = accounts::findByToken(db_, token);
            if (!ctx.member)
                throw HttpError(401, "Invalid or expired token");
        }
        if (route.jsonBody) {
            if (req.body.size() > kMaxJsonBodyBytes)
                throw HttpError(413, statusText(413));
            ctx.body = nlohmann::json::parse(req.body, nullptr, false);
            if (ctx.body.is_discarded() || !ctx.body.is_object())
                throw HttpError(400, "Invalid JSON body");
        }
        route.handler(*this, ctx);
    } catch (const HttpError &e) {
        sendJson(res, e.status, {{"success", false}, {"error", e.what()}});
    } catch (const nlohmann::json::exception &e) {
        sendJson(res, 400, {{"success", false}, {"error", "Invalid JSON body"}});
    }
}
