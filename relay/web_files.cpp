// The page's files over HTTP: only plain paths inside the folder, read whole.
#include "relay/web_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace http = boost::beast::http;

namespace {

WebResponse plainResponse(http::status status, unsigned version, const char* text) {
    WebResponse response{status, version};
    response.set(http::field::content_type, "text/plain; charset=utf-8");
    response.body() = text;
    response.prepare_payload();
    return response;
}

// The file a target names inside the folder, or "" when it names none safely.
std::string fileOf(const std::string& folder, std::string_view target) {
    std::string_view path = target.substr(0, target.find_first_of("?#"));
    if (folder.empty() || path.empty() || path[0] != '/') return {};
    if (path.find("..") != std::string_view::npos || path.find('\\') != std::string_view::npos ||
        path.find('\0') != std::string_view::npos || path.find('%') != std::string_view::npos)
        return {};
    std::string file = folder + std::string(path);
    if (file.back() == '/') file += "index.html";
    return file;
}

} // namespace

const char* webContentType(const std::string& name) {
    static const struct {
        const char* ending;
        const char* type;
    } types[] = {{".html", "text/html; charset=utf-8"},
                 {".js", "text/javascript"},
                 {".wasm", "application/wasm"},
                 {".css", "text/css"},
                 {".png", "image/png"},
                 {".json", "application/json"},
                 {".ico", "image/x-icon"},
                 {".svg", "image/svg+xml"}};
    for (const auto& t : types) {
        std::string_view e(t.ending);
        if (name.size() >= e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0)
            return t.type;
    }
    return "application/octet-stream";
}

WebResponse webFileResponse(const std::string& folder,
                            const http::request<http::empty_body>& request) {
    unsigned version = request.version();
    if (request.method() != http::verb::get && request.method() != http::verb::head)
        return plainResponse(http::status::method_not_allowed, version, "GET only\n");
    std::string file =
        fileOf(folder, std::string_view(request.target().data(), request.target().size()));
    std::ifstream in(file, std::ios::binary);
    if (file.empty() || !std::filesystem::is_regular_file(file) || !in)
        return plainResponse(http::status::not_found, version, "not here\n");
    std::ostringstream bytes;
    bytes << in.rdbuf();
    WebResponse response{http::status::ok, version};
    response.set(http::field::content_type, webContentType(file));
    response.set(http::field::cache_control, "no-cache");
    response.body() = bytes.str();
    response.prepare_payload();
    if (request.method() == http::verb::head) response.body().clear();
    response.keep_alive(request.keep_alive());
    return response;
}
