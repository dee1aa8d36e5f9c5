#include "netws/websocket.h"

#include <algorithm>

// Boost 1.74 uses std::exchange in C++20 without including <utility>.
#include <utility>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>

#ifndef _WIN32
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#endif

#include "net/protocol.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

struct NetWebSocket::Impl {
    asio::io_context io; // first: the last to go
    tcp::acceptor acceptor{io};
    tcp::resolver resolver{io};
    websocket::stream<tcp::socket> ws{io};
    beast::flat_buffer buffer;
    std::deque<std::vector<uint8_t>> outbox, inbox;
    bool writing = false, closing = false, client = false;
    NetLinkState state = NetLinkState::Connecting;
    std::string error;
    uint64_t sent = 0, received = 0;

    void fail(const std::string& why) {
        if (state == NetLinkState::Closed) return;
        state = NetLinkState::Closed;
        if (error.empty()) error = why;
        beast::error_code ignored;
        ws.next_layer().close(ignored);
        acceptor.close(ignored);
    }

    // The other side's close is a clean end; anything else is a failure.
    void lost(const beast::error_code& ec) {
        if (ec == websocket::error::closed || ec == asio::error::operation_aborted) {
            state = NetLinkState::Closed;
            return;
        }
        fail(ec.message());
    }

    void opened() {
        state = NetLinkState::Open;
        beast::error_code ignored;
        ws.next_layer().set_option(tcp::no_delay(true), ignored);
        ws.binary(true);
        ws.read_message_max(NetMaxMessageBytes);
        read();
        write();
    }

    void read() {
        ws.async_read(buffer, [this](beast::error_code ec, size_t n) {
            if (ec) {
                lost(ec);
                return;
            }
            if (!ws.got_binary()) {
                fail("the other side sent a text message");
                return;
            }
            const auto* at = static_cast<const uint8_t*>(buffer.data().data());
            inbox.emplace_back(at, at + n);
            buffer.consume(n);
            received += n + (client ? 2 : 6);
            read();
        });
    }

    void write() {
        if (writing || state != NetLinkState::Open) return;
        if (outbox.empty()) {
            if (closing) closeNow();
            return;
        }
        writing = true;
        ws.async_write(asio::buffer(outbox.front()), [this](beast::error_code ec, size_t n) {
            writing = false;
            if (ec) {
                lost(ec);
                return;
            }
            sent += n + (client ? 6 : 2);
            outbox.pop_front();
            write();
        });
    }

    void closeNow() {
        closing = false;
        ws.async_close(websocket::close_code::normal, [this](beast::error_code) {
            state = NetLinkState::Closed;
            beast::error_code ignored;
            ws.next_layer().close(ignored);
        });
    }

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

    void connect(const std::string& host, uint16_t port, const std::string& path) {
        client = true;
        std::string target = host + ":" + std::to_string(port);
        resolver.async_resolve(
            host, std::to_string(port),
            [this, target, path](beast::error_code ec, const tcp::resolver::results_type& found) {
                if (ec) {
                    fail("cannot find " + target + ": " + ec.message());
                    return;
                }
                asio::async_connect(
                    ws.next_layer(), found,
                    [this, target, path](beast::error_code e, const tcp::endpoint&) {
                        if (e) {
                            fail("cannot reach " + target + ": " + e.message());
                            return;
                        }
                        handshake(target, path);
                    });
            });
    }

    void handshake(const std::string& target, const std::string& path) {
        ws.async_handshake(target, path, [this](beast::error_code ec) {
            if (ec) {
                fail("the WebSocket handshake failed: " + ec.message());
                return;
            }
            opened();
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
    impl->connect(host, port, path);
    return std::unique_ptr<NetWebSocket>(new NetWebSocket(std::move(impl)));
}

void NetWebSocket::send(const std::vector<uint8_t>& message) {
    if (impl->state == NetLinkState::Closed || impl->closing) return;
    impl->outbox.push_back(message);
    impl->write();
}

bool NetWebSocket::receive(std::vector<uint8_t>& message) {
    if (impl->inbox.empty()) return false;
    message = std::move(impl->inbox.front());
    impl->inbox.pop_front();
    return true;
}

void NetWebSocket::poll() {
    if (impl->io.stopped()) impl->io.restart();
    impl->io.poll();
}

NetLinkState NetWebSocket::state() const {
    return impl->state;
}

std::string NetWebSocket::error() const {
    return impl->error;
}

void NetWebSocket::close(const std::string& why) {
    if (impl->error.empty()) impl->error = why;
    if (impl->state != NetLinkState::Open) {
        impl->fail(why);
        return;
    }
    impl->closing = true;
    impl->write();
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

bool netwsParseRelayUrl(const std::string& text, NetRelayAddress& out, std::string& why) {
    const std::string scheme = "ws://";
    if (text.rfind("wss://", 0) == 0) {
        why = "this game speaks ws:// only: give it the relay's own address, not its TLS proxy's";
        return false;
    }
    if (text.rfind(scheme, 0) != 0) {
        why = "a relay's address starts with ws://, as in ws://relay.example:8000";
        return false;
    }
    std::string rest = text.substr(scheme.size());
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
    if (!portGiven) out.port = 80;
    return true;
}
