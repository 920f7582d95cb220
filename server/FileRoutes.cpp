#include "Service.h"
#include "Util.h"

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

bool isHex(const std::string &s, size_t length)
{
    return s.size() == length && s.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// Avatars are written by the server itself; this only keeps other paths out.
bool isPlainFileName(const std::string &s)
{
    if (s.empty() || s.size() > 100 || s.front() == '.')
        return false;
    return s.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") == std::string::npos;
}

bool readWholeFile(const fs::path &path, std::string &out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void upload(Service &service, Service::Context &ctx)
{
    if (!ctx.req.is_multipart_form_data())
        throw HttpError(415, "Expected multipart/form-data with a field \"file\"");
    if (!ctx.req.has_file("file"))
        throw HttpError(400, "Missing field: file");
    const auto part = ctx.req.get_file_value("file");
    if (part.content.size() > kMaxUploadBytes)
        throw HttpError(413, "File too large. Maximum 10 MB");

    const std::string name = util::cleanFileName(util::decodeFormFileName(part.filename.empty() ? "file" : part.filename));
    const std::string mime = util::mimeTypeForName(name);
    const std::string id = util::randomHex(16);
    const std::string urlKey = id + "-" + util::randomHex(4) + "-" + util::percentEncode(name);

    // Only the random id reaches the file system; the member's name stays in the database.
    const fs::path dir = service.config().dataDir / "files";
    const fs::path target = dir / id;
    const fs::path partial = dir / (id + ".part");
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(part.content.data(), static_cast<std::streamsize>(part.content.size()));
        out.close();
        if (!out) {
            std::error_code ec;
            fs::remove(partial, ec);
            throw HttpError(500, "Could not store the file");
        }
    }
    std::error_code ec;
    fs::rename(partial, target, ec);
    if (ec)
        throw HttpError(500, "Could not store the file");

    try {
        auto guard = service.db().lock();
        auto s = service.db().prepare("INSERT INTO files (id, url_key, original_name, mime_type, size, uploader_id, "
                                      "created_at) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        s.bind(1, id).bind(2, urlKey).bind(3, name).bind(4, mime);
        s.bind(5, static_cast<int64_t>(part.content.size())).bind(6, ctx.member->id).bind(7, util::nowMicros());
        s.run();
    } catch (...) {
        // A file without its record could never be served or cleaned up.
        fs::remove(target, ec);
        throw;
    }
    sendJson(ctx.res, 200,
             {{"success", true},
              {"fileId", id},
              {"fileName", name},
              {"fileSize", part.content.size()},
              {"downloadUrl", service.contentBase() + "files/" + urlKey},
              {"mimeType", mime}});
}

void serveFile(Service &service, Service::Context &ctx)
{
    // The segment is "<id>-<random>-<name>"; only the id is looked up.
    const std::string segment = ctx.req.path.substr(std::string("/content/files/").size());
    const std::string id = segment.substr(0, segment.find('-'));
    if (!isHex(id, 32))
        throw HttpError(404, "Not found");
    std::string name, mime;
    {
        auto guard = service.db().lock();
        auto s = service.db().prepare("SELECT original_name, mime_type FROM files WHERE id = ?1");
        s.bind(1, id);
        if (!s.step())
            throw HttpError(404, "Not found");
        name = s.text(0);
        mime = s.text(1);
    }
    std::string body;
    if (!readWholeFile(service.config().dataDir / "files" / id, body))
        throw HttpError(404, "Not found");
    ctx.res.status = 200;
    ctx.res.set_header("Content-Disposition", util::contentDisposition("attachment", name));
    ctx.res.set_header("X-Content-Type-Options", "nosniff");
    ctx.res.set_header("Cache-Control", "private, max-age=86400");
    ctx.res.set_content(std::move(body), mime);
}

void serveAvatar(Service &service, Service::Context &ctx)
{
    const std::string name = ctx.req.path.substr(std::string("/content/avatars/").size());
    if (!isPlainFileName(name))
        throw HttpError(404, "Not found");
    std::string body;
    if (!readWholeFile(service.config().dataDir / "avatars" / name, body))
        throw HttpError(404, "Not found");
    ctx.res.status = 200;
    ctx.res.set_header("X-Content-Type-Options", "nosniff");
    ctx.res.set_header("Cache-Control", "public, max-age=3600");
    ctx.res.set_content(std::move(body), util::mimeTypeForName(name));
}

} // namespace

void registerFileRoutes(Service &service)
{
    service.route("POST", "/api/mobile/files/upload", true, false, upload);
    service.route("GET", "/content/files/", false, false, serveFile);
    service.route("GET", "/content/avatars/", false, false, serveAvatar);
}
