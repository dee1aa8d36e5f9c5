// Inside netws only: one WebSocket connection over any stream Beast's
// websocket::stream carries, plain TCP (websocket.cpp) or TLS over it
// (secure_socket.cpp, the only file that sees the TLS headers). Binary
// messages queue both ways; the game's loop drives it through poll().
#pragma once

// Boost 1.74 uses std::exchange in C++20 without including <utility>.
#include <utility>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "net/protocol.h"
#include "net/transport.h"

namespace netws {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

template <class Stream> struct Link {
    asio::io_context io; // first: the last to go
    tcp::acceptor acceptor{io};
    tcp::resolver resolver{io};
    websocket::stream<Stream> ws;
    beast::flat_buffer buffer;
    std::deque<std::vector<uint8_t>> outbox, inbox;
    bool writing = false, closing = false, client = false;
    NetLinkState state = NetLinkState::Connecting;
    std::string error;
    uint64_t sent = 0, received = 0;

    // `with`: what the stream needs besides the io_context (a TLS context).
    template <class... With> explicit Link(With&... with) : ws(io, with...) {}

    void fail(const std::string& why) {
        if (state == NetLinkState::Closed) return;
        state = NetLinkState::Closed;
        if (error.empty()) error = why;
        beast::error_code ignored;
        beast::get_lowest_layer(ws).close(ignored);
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
        beast::get_lowest_layer(ws).set_option(tcp::no_delay(true), ignored);
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
            beast::get_lowest_layer(ws).close(ignored);
        });
    }

    // Finds `host` and connects to it, then goes on with `then(target)`
    // ("HOST:PORT", for the lines and the handshake).
    template <class Then> void connect(const std::string& host, uint16_t port, Then then) {
        client = true;
        std::string target = host + ":" + std::to_string(port);
        resolver.async_resolve(
            host, std::to_string(port),
            [this, target, then](beast::error_code ec, const tcp::resolver::results_type& found) {
                if (ec) {
                    fail("cannot find " + target + ": " + ec.message());
                    return;
                }
                asio::async_connect(
                    beast::get_lowest_layer(ws), found,
                    [this, target, then](beast::error_code e, const tcp::endpoint&) {
                        if (e) {
                            fail("cannot reach " + target + ": " + e.message());
                            return;
                        }
                        then(target);
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

    void send(const std::vector<uint8_t>& message) {
        if (state == NetLinkState::Closed || closing) return;
        outbox.push_back(message);
        write();
    }

    bool receive(std::vector<uint8_t>& message) {
        if (inbox.empty()) return false;
        message = std::move(inbox.front());
        inbox.pop_front();
        return true;
    }

    void poll() {
        if (io.stopped()) io.restart();
        io.poll();
    }

    void close(const std::string& why) {
        if (error.empty()) error = why;
        if (state != NetLinkState::Open) {
            fail(why);
            return;
        }
        closing = true;
        write();
    }
};

// The Host header for `host` at `port`, as a browser sends it: an IPv6
// address in brackets, the port left out where it is `defaultPort` (0: never).
inline std::string hostHeader(const std::string& host, uint16_t port, uint16_t defaultPort) {
    std::string site = host.find(':') == std::string::npos ? host : "[" + host + "]";
    if (port != defaultPort) site += ":" + std::to_string(port);
    return site;
}

// A wss:// connection to `host`, asking for `path` (secure_socket.cpp, in a
// build with TLS only); `caFile`: certificates trusted besides the system's.
std::unique_ptr<NetTransport> joinSecure(const std::string& host, uint16_t port,
                                         const std::string& path, const std::string& caFile);

} // namespace netws
