#include "netws/websocket.h"

#include <algorithm>

#ifndef _WIN32
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#endif

#include "netws/ws_link.h"

#ifndef SOCCER_TLS
#define SOCCER_TLS 0
#endif

using namespace netws;

struct NetWebSocket::Impl : Link<tcp::socket> {
    void accept() {
        acceptor.async_accept(ws.next_layer(), [this](beast::error_code ec) {
            if (ec) {
                fail(ec.message());
                return;
            }
            beast::error_code ignored;
            acceptor.close(ignored); // one opponent
            ws.async_accept([this](beast::error_code e) {
                if (e) {
                    fail("the WebSocket handshake failed: " + e.message());
                    return;
                }
                opened();
            });
        });
    }

    bool listen(uint16_t port, std::string& why) {
        beast::error_code ec;
        // Both families on one socket where the system allows it, else IPv4.
        acceptor.open(tcp::v6(), ec);
        if (!ec) acceptor.set_option(asio::ip::v6_only(false), ec);
        tcp::endpoint at(ec ? tcp::v4() : tcp::v6(), port);
        if (ec) {
            ec.clear();
            if (acceptor.is_open()) acceptor.close(ec);
            acceptor.open(tcp::v4(), ec);
        }
        if (!ec) acceptor.set_option(asio::socket_base::reuse_address(true), ec);
        if (!ec) acceptor.bind(at, ec);
        if (!ec) acceptor.listen(1, ec);
        if (ec) {
            why = "cannot listen on port " + std::to_string(port) + ": " + ec.message();
            return false;
        }
        accept();
        return true;
    }
};

NetWebSocket::NetWebSocket(std::unique_ptr<Impl> i) : impl(std::move(i)) {}
NetWebSocket::~NetWebSocket() = default;

std::unique_ptr<NetWebSocket> NetWebSocket::host(uint16_t port, std::string& why) {
    auto impl = std::make_unique<Impl>();
    if (!impl->listen(port, why)) return nullptr;
    return std::unique_ptr<NetWebSocket>(new NetWebSocket(std::move(impl)));
}

std::unique_ptr<NetWebSocket> NetWebSocket::join(const std::string& host, uint16_t port,
                                                 const std::string& path) {
    auto impl = std::make_unique<Impl>();
    Impl* link = impl.get();
    // The Host keeps its port, as it always has; an IPv6 address goes in
    // brackets (it went bare, which no proxy could read).
    std::string site = hostHeader(host, port, 0);
    impl->connect(host, port,
                  [link, path, site](const std::string&) { link->handshake(site, path); });
    return std::unique_ptr<NetWebSocket>(new NetWebSocket(std::move(impl)));
}

void NetWebSocket::send(const std::vector<uint8_t>& message) {
    impl->send(message);
}

bool NetWebSocket::receive(std::vector<uint8_t>& message) {
    return impl->receive(message);
}

void NetWebSocket::poll() {
    impl->poll();
}

NetLinkState NetWebSocket::state() const {
    return impl->state;
}

std::string NetWebSocket::error() const {
    return impl->error;
}

void NetWebSocket::close(const std::string& why) {
    impl->close(why);
}

uint64_t NetWebSocket::bytesSent() const {
    return impl->sent;
}

uint64_t NetWebSocket::bytesReceived() const {
    return impl->received;
}

uint16_t NetWebSocket::localPort() const {
    beast::error_code ec;
    tcp::endpoint at = impl->acceptor.local_endpoint(ec);
    return ec ? 0 : at.port();
}

std::vector<std::string> netwsLocalAddresses() {
    std::vector<std::string> found;
#ifndef _WIN32
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return found;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
        char text[INET_ADDRSTRLEN];
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
        if ((ntohl(v4->sin_addr.s_addr) >> 24) == 127) continue;
        if (inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text)) found.emplace_back(text);
    }
    freeifaddrs(list);
#else
    asio::io_context io;
    tcp::resolver resolver(io);
    beast::error_code ec;
    for (const auto& entry : resolver.resolve(asio::ip::host_name(), "", ec)) {
        asio::ip::address a = entry.endpoint().address();
        if (a.is_v4() && !a.is_loopback()) found.push_back(a.to_string());
    }
#endif
    return found;
}

static bool parsePort(const std::string& text, uint16_t& port) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    unsigned long v = std::stoul(text);
    if (v == 0 || v > 65535) return false;
    port = uint16_t(v);
    return true;
}

bool netwsParseAddress(const std::string& text, std::string& host, uint16_t& port) {
    port = NetDefaultPort;
    if (!text.empty() && text[0] == '[') {
        size_t close = text.find(']');
        if (close == std::string::npos || close == 1) return false;
        host = text.substr(1, close - 1);
        if (close + 1 == text.size()) return true;
        return text[close + 1] == ':' && parsePort(text.substr(close + 2), port);
    }
    size_t colon = text.find(':');
    if (colon != std::string::npos && text.find(':', colon + 1) != std::string::npos) {
        host = text; // a bare IPv6 address
        return true;
    }
    host = text.substr(0, colon);
    if (host.empty() || host.find_first_of(" \t\r\n/") != std::string::npos) return false;
    return colon == std::string::npos || parsePort(text.substr(colon + 1), port);
}

bool netwsSpeaksTls() {
    return SOCCER_TLS != 0;
}

std::unique_ptr<NetTransport> netwsJoinRelay(const NetRelayAddress& at, const std::string& path,
                                             const std::string& caFile) {
#if SOCCER_TLS
    if (at.secure) return joinSecure(at.host, at.port, path, caFile);
#else
    (void)caFile;
#endif
    return NetWebSocket::join(at.host, at.port, path);
}

bool netwsParseRelayUrl(const std::string& text, NetRelayAddress& out, std::string& why) {
    out.secure = text.rfind("wss://", 0) == 0;
    if (out.secure && !netwsSpeaksTls()) {
        why = "this build speaks ws:// only: give it the relay's own address, not its TLS proxy's";
        return false;
    }
    if (!out.secure && text.rfind("ws://", 0) != 0) {
        why = netwsSpeaksTls()
                  ? "a relay's address starts with ws:// or wss://, as in wss://relay.example"
                  : "a relay's address starts with ws://, as in ws://relay.example:8000";
        return false;
    }
    std::string rest = text.substr(out.secure ? 6 : 5);
    size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    out.path = slash == std::string::npos ? "/play" : rest.substr(slash);
    if (out.path == "/") out.path = "/play";
    if (!netwsParseAddress(authority, out.host, out.port) ||
        out.path.find_first_of(" \t\r\n?#") != std::string::npos) {
        why = "cannot read the relay's address " + text;
        return false;
    }
    bool portGiven = authority[0] == '[' ? authority.find("]:") != std::string::npos
                                         : std::count(authority.begin(), authority.end(), ':') == 1;
    if (!portGiven) out.port = out.secure ? 443 : 80;
    return true;
}
