// soccer-relay's connections: the listener, HTTP for the page's files, and one
// WebSocket session per client with its bounded queue of unsent messages.
#include "relay/server.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>

#include "relay/web_files.h"

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

// Every socket names the one io_context's executor by its type: the general,
// type-erased executor costs a few calls on every read and write, and the
// relay makes about a hundred thousand of those a second under load.
using Executor = net::io_context::executor_type;
using Socket = net::basic_stream_socket<tcp, Executor>;
using Acceptor = net::basic_socket_acceptor<tcp, Executor>;
using HttpStream = beast::basic_stream<tcp, Executor>;

namespace {

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

class WsSession;

} // namespace

struct RelayServer {
    // One thread runs everything; other threads only post (relayServerStop).
    net::io_context io{BOOST_ASIO_CONCURRENCY_HINT_UNSAFE_IO};
    Acceptor acceptor{io};
    net::signal_set signals{io};
    net::steady_timer ticker{io};
    net::steady_timer deadline{io};
    RelayServerOptions options;
    Relay relay;
    std::unordered_map<uint32_t, std::shared_ptr<WsSession>> sessions;
    uint32_t nextId = 1;
    bool stopping = false;
};

namespace {

void dispatch(RelayServer& server);

class WsSession : public std::enable_shared_from_this<WsSession> {
  public:
    WsSession(RelayServer& server, Socket&& stream, uint32_t id, std::string address)
        : server_(server), ws_(std::move(stream)), id_(id), address_(std::move(address)) {}

    void start(const http::request<http::empty_body>& request) {
        websocket::stream_base::timeout t{};
        t.handshake_timeout = std::chrono::seconds(10);
        t.idle_timeout = websocket::stream_base::none();
        t.keep_alive_pings = false;
        ws_.set_option(t);
        ws_.read_message_max(server_.options.limits.messageBytes);
        ws_.binary(true);
        ws_.async_accept(request, [self = shared_from_this()](beast::error_code ec) {
            if (ec) return self->finish(ReasonLost);
            relayConnect(self->server_.relay, self->id_, self->address_, nowMs());
            self->read();
        });
    }

    void send(const RelayMessage& message, bool catchUp) {
        if (closing_) return;
        if (!catchUp && ++counted_ > server_.options.limits.queueMessages) {
            finish(ReasonSlowReader);
            return;
        }
        queue_.push_back({message, catchUp});
        if (queue_.size() == 1) write();
    }

    // The relay closed this client: the messages before go out, then the close.
    void closeAfterQueue(RelayReason reason) {
        if (closing_) return;
        closing_ = true;
        reason_ = reason;
        if (queue_.empty()) close();
    }

    // Gone: the rooms hear of it once and the socket closes.
    void finish(RelayReason reason, const std::string& detail = {}) {
        if (finished_) return;
        finished_ = closing_ = true;
        relayDisconnect(server_.relay, id_, reason, detail);
        auto self = shared_from_this();
        server_.sessions.erase(id_);
        beast::error_code ignored;
        ws_.next_layer().close(ignored);
        dispatch(server_);
        if (server_.stopping && server_.sessions.empty()) server_.io.stop();
    }

  private:
    void read() {
        ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code ec, size_t) {
            self->onRead(ec);
        });
    }

    void onRead(beast::error_code ec) {
        if (ec) return onReadFailure(ec);
        if (!closing_) {
            if (!ws_.got_binary()) {
                relayReceive(server_.relay, id_, {}, nowMs()); // an empty message: refused
            } else {
                auto data = buffer_.cdata();
                relayReceive(server_.relay, id_,
                             {static_cast<const uint8_t*>(data.data()), data.size()}, nowMs());
            }
            dispatch(server_);
        }
        buffer_.consume(buffer_.size());
        if (!finished_) read();
    }

    // Why a read failed, in the relay's words; a broken frame is named in the log.
    void onReadFailure(beast::error_code ec) {
        if (ec == websocket::error::closed) return finish(ReasonLeft);
        if (ec == websocket::error::message_too_big) return finish(ReasonTooBig);
        if (ec.category() == websocket::make_error_code(websocket::error::closed).category())
            return finish(ReasonProtocol, "a bad WebSocket frame (" + ec.message() + ")");
        finish(ReasonLost);
    }

    void write() {
        ws_.async_write(
            net::buffer(*queue_.front().message),
            [self = shared_from_this()](beast::error_code ec, size_t) { self->onWrite(ec); });
    }

    void onWrite(beast::error_code ec) {
        if (ec) return finish(ReasonLost);
        if (!queue_.front().catchUp) counted_--;
        queue_.pop_front();
        if (!queue_.empty()) {
            write();
        } else if (closing_ && !finished_) {
            close();
        }
    }

    void close() {
        websocket::close_reason why(reason_ == ReasonShutdown
                                        ? websocket::close_code::going_away
                                        : websocket::close_code::policy_error);
        ws_.async_close(
            why, [self = shared_from_this()](beast::error_code) { self->finish(self->reason_); });
    }

    struct Queued {
        RelayMessage message;
        bool catchUp;
    };
    RelayServer& server_;
    websocket::stream<Socket> ws_;
    uint32_t id_;
    std::string address_;
    beast::flat_buffer buffer_;
    std::deque<Queued> queue_;
    uint32_t counted_ = 0;
    bool closing_ = false;
    bool finished_ = false;
    RelayReason reason_ = ReasonLeft;
};

void dispatch(RelayServer& server) {
    while (!server.relay.outbox.empty()) {
        std::vector<RelayOut> out;
        out.swap(server.relay.outbox);
        for (const RelayOut& o : out) {
            auto it = server.sessions.find(o.client);
            if (it == server.sessions.end()) continue;
            std::shared_ptr<WsSession> session = it->second;
            if (o.message) session->send(o.message, o.catchUp != 0);
            if (o.close) session->closeAfterQueue(o.reason);
        }
    }
}

// One HTTP connection: the page's files, or the upgrade to /play.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
  public:
    HttpSession(RelayServer& server, Socket&& socket)
        : server_(server), stream_(std::move(socket)) {}

    void read() {
        parser_.emplace();
        parser_->header_limit(8192);
        stream_.expires_after(std::chrono::seconds(10));
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code ec, size_t) {
                             if (!ec) self->onRequest();
                         });
    }

  private:
    void onRequest() {
        http::request<http::empty_body> request = parser_->release();
        std::string_view target(request.target().data(), request.target().size());
        std::string_view path = target.substr(0, target.find('?'));
        if (websocket::is_upgrade(request) && path == "/play" && !server_.stopping) {
            upgrade(request);
            return;
        }
        WebResponse response = webFileResponse(server_.options.web, request);
        auto self = shared_from_this();
        bool keep = response.keep_alive();
        auto held = std::make_shared<WebResponse>(std::move(response));
        http::async_write(stream_, *held, [self, held, keep](beast::error_code ec, size_t) {
            if (!ec && keep) {
                self->read();
            } else {
                self->stream_.socket().close(ec);
            }
        });
    }

    void upgrade(const http::request<http::empty_body>& request) {
        beast::error_code ec;
        std::string address = stream_.socket().remote_endpoint(ec).address().to_string();
        if (server_.options.trustProxy) {
            auto real = request.find("X-Real-IP");
            if (real != request.end()) address = std::string(real->value());
        }
        stream_.expires_never();
        uint32_t id = server_.nextId++;
        auto session = std::make_shared<WsSession>(server_, stream_.release_socket(), id, address);
        server_.sessions[id] = session;
        session->start(request);
    }

    RelayServer& server_;
    HttpStream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::empty_body>> parser_;
};

void accept(RelayServer& server) {
    server.acceptor.async_accept([&server](beast::error_code ec, Socket socket) {
        if (ec) {
            if (server.acceptor.is_open()) accept(server);
            return;
        }
        // Each message goes out at once: Nagle's wait for more would hold
        // an input back by up to 40 ms.
        socket.set_option(tcp::no_delay(true), ec);
        std::make_shared<HttpSession>(server, std::move(socket))->read();
        accept(server);
    });
}

void tick(RelayServer& server) {
    server.ticker.expires_after(std::chrono::milliseconds(20));
    server.ticker.async_wait([&server](beast::error_code ec) {
        if (ec || server.stopping) return;
        relayTick(server.relay, nowMs());
        dispatch(server);
        tick(server);
    });
}

void beginStop(RelayServer& server) {
    if (server.stopping) return;
    server.stopping = true;
    server.relay.log("going away: telling " + std::to_string(server.sessions.size()) + " clients");
    beast::error_code ignored;
    server.acceptor.close(ignored);
    server.ticker.cancel();
    server.signals.cancel();
    relayShutdown(server.relay);
    dispatch(server);
    if (server.sessions.empty()) server.io.stop();
    // A client that reads nothing does not hold the relay up.
    server.deadline.expires_after(std::chrono::seconds(2));
    server.deadline.async_wait([&server](beast::error_code) { server.io.stop(); });
}

} // namespace

RelayServer* relayServerOpen(const RelayServerOptions& options,
                             std::function<void(const std::string&)> log) {
    auto server = std::make_unique<RelayServer>();
    server->options = options;
    server->relay.limits = options.limits;
    server->relay.log = std::move(log);
    if (!server->relay.log) server->relay.log = [](const std::string&) {};
    tcp::endpoint at(net::ip::make_address(options.address), options.port);
    server->acceptor.open(at.protocol());
    server->acceptor.set_option(net::socket_base::reuse_address(true));
    server->acceptor.bind(at);
    server->acceptor.listen(net::socket_base::max_listen_connections);
    // From here on SIGTERM is the relay's to handle, even before it runs.
    if (options.signals) {
        server->signals.add(SIGTERM);
        server->signals.add(SIGINT);
        RelayServer* s = server.get();
        server->signals.async_wait([s](beast::error_code ec, int) {
            if (!ec) beginStop(*s);
        });
    }
    return server.release();
}

uint16_t relayServerPort(const RelayServer* server) {
    return server->acceptor.local_endpoint().port();
}

void relayServerRun(RelayServer* server) {
    accept(*server);
    tick(*server);
    server->io.run();
}

void relayServerStop(RelayServer* server) {
    net::post(server->io, [server] { beginStop(*server); });
}

void relayServerClose(RelayServer* server) {
    delete server;
}
