// soccer-relay on 127.0.0.1: the page and /play on one port, bad frames,
// oversized messages and a client that stops reading each closed with a log
// line while another room plays on, and a stop that tells every client.
#include <gtest/gtest.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "relay/server.h"

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Bytes = std::vector<uint8_t>;

struct TestRelay {
    RelayServer* server;
    std::thread thread;
    std::mutex mutex;
    std::vector<std::string> log;
    uint16_t port;

    explicit TestRelay(RelayServerOptions options) {
        options.address = "127.0.0.1";
        options.port = 0;
        options.signals = false;
        server = relayServerOpen(options, [this](const std::string& line) {
            std::lock_guard<std::mutex> hold(mutex);
            log.push_back(line);
        });
        port = relayServerPort(server);
        thread = std::thread([this] { relayServerRun(server); });
    }
    ~TestRelay() {
        relayServerStop(server);
        thread.join();
        relayServerClose(server);
    }
    // Waits up to tries hundredths of a second for a log line holding part.
    bool logged(const std::string& part, int tries = 500) {
        for (int i = 0; i < tries; i++) {
            {
                std::lock_guard<std::mutex> hold(mutex);
                for (const std::string& line : log)
                    if (line.find(part) != std::string::npos) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
};

struct Client {
    net::io_context io;
    websocket::stream<tcp::socket> ws{io};

    explicit Client(uint16_t port, bool greet = true) {
        ws.next_layer().connect({net::ip::make_address("127.0.0.1"), port});
        ws.handshake("127.0.0.1", "/play");
        ws.binary(true);
        Bytes h{RelayHello, relayProtocolVersion, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0};
        if (greet) send(h);
    }
    void send(const Bytes& m) { ws.write(net::buffer(m)); }
    // The next message but pings, or empty once closed or after three seconds.
    Bytes read() {
        for (;;) {
            beast::flat_buffer buffer;
            bool done = false;
            beast::error_code error;
            ws.async_read(buffer, [&](beast::error_code ec, size_t) { error = ec, done = true; });
            io.restart();
            io.run_for(std::chrono::seconds(3));
            if (!done) {
                ws.next_layer().cancel();
                io.restart();
                io.run();
            }
            if (error) return {};
            const uint8_t* p = static_cast<const uint8_t*>(buffer.cdata().data());
            Bytes m(p, p + buffer.size());
            if (m.empty() || m[0] != RelayPing) return m;
        }
    }
    std::string create() {
        send({RelayCreate});
        Bytes joined = read();
        return joined.size() == 7 ? std::string(joined.begin() + 2, joined.end()) : "";
    }
    void join(const std::string& code) {
        Bytes m{RelayJoin};
        for (char c : code) m.push_back(uint8_t(c));
        send(m);
        read(); // joined
        read(); // the host is there
    }
};

// One GET of target; the status and body.
std::pair<int, std::string> get(uint16_t port, const std::string& target) {
    net::io_context io;
    tcp::socket socket(io);
    socket.connect({net::ip::make_address("127.0.0.1"), port});
    http::request<http::empty_body> request{http::verb::get, target, 11};
    request.set(http::field::host, "127.0.0.1");
    http::write(socket, request);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    http::read(socket, buffer, response);
    return {response.result_int(), response.body()};
}

TEST(RelayServer, ServesThePageAndPlaysOnOnePort) {
    std::filesystem::path web = std::filesystem::temp_directory_path() / "soccer-relay-web";
    std::filesystem::create_directories(web);
    std::ofstream(web / "index.html") << "<p>pitch</p>";
    RelayServerOptions options;
    options.web = web.string();
    TestRelay relay(options);
    EXPECT_EQ(get(relay.port, "/"), std::make_pair(200, std::string("<p>pitch</p>")));
    EXPECT_EQ(get(relay.port, "/../soccer-relay-web/index.html").first, 404);
    EXPECT_EQ(get(relay.port, "/nothing.js").first, 404);
    Client host(relay.port), guest(relay.port);
    std::string code = host.create();
    guest.join(code);
    EXPECT_EQ(host.read(), (Bytes{RelayPeerJoined, SeatGuest}));
    Bytes input{0x10, 1, 2, 3};
    guest.send(input);
    EXPECT_EQ(host.read(), input);
    EXPECT_TRUE(relay.logged("room " + code + " created by client 1 (127.0.0.1)"));
    std::filesystem::remove_all(web);
}

TEST(RelayServer, BadFramesBigMessagesAndSlowReadersGoWhileOtherRoomsPlayOn) {
    RelayServerOptions options;
    options.limits.queueMessages = 16;
    options.limits.messagesPerSecond = 100000;
    TestRelay relay(options);
    Client host(relay.port), guest(relay.port), other(relay.port), otherGuest(relay.port);
    std::string code = host.create();
    guest.join(code);
    std::string otherCode = other.create();
    otherGuest.join(otherCode);
    host.read();
    other.read();

    Client broken(relay.port);
    net::write(broken.ws.next_layer(), net::buffer("\x8f\x80\0\0\0\0", 6)); // opcode 15
    EXPECT_EQ(broken.read(), Bytes{});
    EXPECT_TRUE(relay.logged("closed: a bad WebSocket frame"));
    Client big(relay.port);
    big.send(Bytes(9000, 0x10));
    EXPECT_EQ(big.read(), Bytes{});
    EXPECT_TRUE(relay.logged("closed: message too large"));

    // The guest reads nothing while the host sends: the relay lets it go.
    Bytes input(4000, 0x10);
    for (int i = 0; i < 4000 && !relay.logged("closed: too slow reading", 1); i += 100)
        for (int k = 0; k < 100; k++) host.send(input);
    EXPECT_TRUE(relay.logged("closed: too slow reading"));
    EXPECT_EQ(host.read(), (Bytes{RelayPeerLeft, SeatGuest, ReasonSlowReader}));

    Bytes last{0x12, 9, 9};
    other.send(last);
    EXPECT_EQ(otherGuest.read(), last);
    if (HasFailure())
        for (const std::string& line : relay.log) std::printf("%s\n", line.c_str());
}

TEST(RelayServer, StoppingTellsEveryClientItGoesAway) {
    auto relay = std::make_unique<TestRelay>(RelayServerOptions{});
    Client host(relay->port), lobby(relay->port);
    std::string code = host.create();
    relayServerStop(relay->server);
    EXPECT_EQ(host.read(), (Bytes{RelayRoomEnded, ReasonShutdown}));
    EXPECT_EQ(host.read(), (Bytes{RelayGoingAway}));
    EXPECT_EQ(host.read(), Bytes{});
    EXPECT_EQ(lobby.read(), (Bytes{RelayGoingAway}));
    relay.reset();
    EXPECT_TRUE(code.size() == 5);
}

} // namespace
