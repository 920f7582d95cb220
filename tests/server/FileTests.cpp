#include "Fixture.h"
#include "TestHarness.h"

#include <algorithm>
#include <filesystem>
#include <regex>

namespace fs = std::filesystem;

namespace {

// The name a client shows for a download link: the last path segment, split at "-", first two pieces dropped,
// percent-escapes decoded.
std::string nameFromLink(const std::string &url)
{
    std::string segment = url.substr(url.rfind('/') + 1);
    for (int i = 0; i < 2; ++i)
        segment = segment.substr(segment.find('-') + 1);
    return httplib::detail::decode_url(segment, false);
}

std::string pathOf(const std::string &url, int port)
{
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    return url.rfind(base, 0) == 0 ? url.substr(base.size()) : std::string();
}

} // namespace

TEST_CASE("files", "an upload is served back with its type and name")
{
    ThreeMembers f;
    Api &api = *f.api;
    std::string content;
    for (int i = 0; i < 256; ++i)
        content += static_cast<char>(i);
    struct Case {
        std::string name;
        std::string mime;
    };
    for (const Case &c : {Case{"report.pdf", "application/pdf"}, Case{"Отчёт за май.PNG", "image/png"},
                          Case{"my-file-name.zip", "application/zip"}, Case{"no extension", "application/octet-stream"}}) {
        const Reply r = api.upload(c.name, content, f.alice);
        REQUIRE(r.status == 200);
        CHECK_EQ(r.json["success"], true);
        CHECK_EQ(r.json["fileName"], c.name);
        CHECK_EQ(r.json["fileSize"], 256);
        CHECK_EQ(r.json["mimeType"], c.mime);
        const std::string url = r.json["downloadUrl"];
        CHECK_EQ(nameFromLink(url), c.name);
        CHECK(url.find(' ') == std::string::npos);

        const Reply file = api.get(pathOf(url, f.server->port()));
        REQUIRE(file.status == 200);
        CHECK(file.body == content);
        CHECK_EQ(file.header("Content-Type"), c.mime);
        const std::string disposition = file.header("Content-Disposition");
        CHECK(disposition.rfind("attachment; filename=\"", 0) == 0);
        const std::string marker = "filename*=UTF-8''";
        const auto at = disposition.find(marker);
        REQUIRE(at != std::string::npos);
        CHECK_EQ(httplib::detail::decode_url(disposition.substr(at + marker.size()), false), c.name);
        CHECK(disposition.find('\n') == std::string::npos);
    }
}

TEST_CASE("files", "the size limit is 10,485,760 bytes")
{
    ThreeMembers f;
    Api &api = *f.api;
    Reply r = api.upload("exact.bin", std::string(10485760, 'a'), f.alice);
    CHECK_EQ(r.status, 200);
    CHECK_EQ(r.json["fileSize"], 10485760);
    r = api.upload("over.bin", std::string(10485761, 'a'), f.alice);
    CHECK_EQ(r.status, 413);
    CHECK_EQ(r.json["success"], false);
    CHECK(r.json["error"].is_string());
    // Far over the limit: refused before the body is read.
    r = api.upload("huge.bin", std::string(12 * 1024 * 1024, 'a'), f.alice);
    CHECK_EQ(r.status, 413);
    CHECK(r.json["error"].is_string());
    // An empty file is fine.
    r = api.upload("empty.txt", "", f.alice);
    CHECK_EQ(r.status, 200);
    CHECK_EQ(r.json["fileSize"], 0);
}

TEST_CASE("files", "a body that only claims to be huge is answered at once")
{
    ThreeMembers f;
    const std::string head = "POST /api/mobile/files/upload HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer "
        + f.alice + "\r\nContent-Type: multipart/form-data; boundary=x\r\nContent-Length: 100000000000\r\n\r\n--x\r\n";
    const std::string answer = rawExchange(f.server->port(), head);
    CHECK(answer.rfind("HTTP/1.1 413", 0) == 0);
    CHECK(answer.find("\"success\":false") != std::string::npos);
    // And the server is still fine afterwards.
    CHECK_EQ(f.api->get("/api/mobile/profile", f.alice).status, 200);
}

TEST_CASE("files", "path tricks in names never reach the file system")
{
    ThreeMembers f;
    Api &api = *f.api;
    struct Case {
        std::string sent;
        std::string kept;
    };
    for (const Case &c : {Case{"../../escape.txt", "escape.txt"}, Case{"..\\..\\win.txt", "win.txt"},
                          Case{"/etc/passwd", "passwd"}, Case{"..", "file"}, Case{"a%22b.txt", "a\"b.txt"},
                          Case{"line%0Abreak.txt", "linebreak.txt"}}) {
        const Reply r = api.upload(c.sent, "x", f.alice);
        REQUIRE(r.status == 200);
        CHECK_EQ(r.json["fileName"], c.kept);
        const Reply file = api.get(pathOf(r.json["downloadUrl"], f.server->port()));
        CHECK_EQ(file.status, 200);
        // A quote in the name must not end the header's quoted fallback early. (The test client decodes
        // percent-escapes in header values, so only the fallback part is looked at.)
        const std::string disposition = file.header("Content-Disposition");
        const std::string fallback = disposition.substr(0, disposition.find("; filename*="));
        CHECK_EQ(std::count(fallback.begin(), fallback.end(), '"'), 2);
    }
    // Stored files are named by random ids only, and nothing was written beside the data folder.
    for (const auto &entry : fs::directory_iterator(f.dir.path() / "files"))
        CHECK(std::regex_match(entry.path().filename().string(), std::regex("[0-9a-f]{32}")));
    CHECK(!fs::exists(f.dir.path().parent_path() / "escape.txt"));
    CHECK(!fs::exists(f.dir.path() / "escape.txt"));

    for (const char *path : {"/content/files/../theorvane.sqlite3", "/content/files/%2e%2e%2ftheorvane.sqlite3",
                             "/content/avatars/..%2ftheorvane.sqlite3", "/content/avatars/.hidden",
                             "/content/files/0123456789abcdef0123456789abcdef-x-y", "/content/theorvane.sqlite3"}) {
        const Reply r = api.get(path);
        CHECK_EQ(r.status, 404);
        CHECK(r.body.find("SQLite") == std::string::npos);
    }
}

TEST_CASE("files", "uploads need a token and a multipart file field")
{
    ThreeMembers f;
    Api &api = *f.api;
    CHECK_EQ(api.upload("a.txt", "x", "").status, 401);
    CHECK_EQ(api.upload("a.txt", "x", "bogus").status, 401);
    CHECK_EQ(api.postRaw("/api/mobile/files/upload", "plain", "text/plain", f.alice).status, 415);
    httplib::Client client("127.0.0.1", f.server->port());
    httplib::MultipartFormDataItems wrongField{{"attachment", "x", "a.txt", "text/plain"}};
    auto r = client.Post("/api/mobile/files/upload", {{"Authorization", "Bearer " + f.alice}}, wrongField);
    REQUIRE(r);
    CHECK_EQ(r->status, 400);
}
