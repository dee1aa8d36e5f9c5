// The WebSocket transport on 127.0.0.1: a host and a guest in one process
// exchange binary messages both ways and in order; a close reaches the other
// side after what was sent before it; nobody listening is "refused".
#include <gtest/gtest.h>

#include <boost/asio.hpp>
#include <chrono>
#include <thread>

#include "net/session.h"
#include "netws/websocket.h"
#include "tests/net/toy_game.h"

namespace {

// Polls both ends until `done` or two seconds have passed.
template <class Done> bool pollUntil(NetTransport& a, NetTransport& b, Done done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        a.poll();
        b.poll();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(WebSocket, HostAndGuestExchangeMessagesInOrderThenClose) {
    std::string why;
    auto host = NetWebSocket::host(0, why);
    ASSERT_TRUE(host) << why;
    auto guest = NetWebSocket::join("127.0.0.1", host->localPort());
    for (uint8_t k = 1; k <= 50; k++) guest->send({0x03, k});
    host->send({0x01, 2, 3});
    std::vector<uint8_t> got;
    std::vector<uint8_t> message;
    ASSERT_TRUE(pollUntil(*host, *guest, [&] {
        while (host->receive(message)) got.push_back(message[1]);
        return got.size() == 50;
    }));
    for (uint8_t k = 1; k <= 50; k++) EXPECT_EQ(got[k - 1], k);
    ASSERT_TRUE(pollUntil(*host, *guest, [&] { return guest->receive(message); }));
    EXPECT_EQ(message, std::vector<uint8_t>({0x01, 2, 3}));
    EXPECT_EQ(host->bytesReceived(), 50u * (2 + 6));

    host->send({0x07, 0});
    host->close("");
    ASSERT_TRUE(pollUntil(*host, *guest, [&] { return guest->state() == NetLinkState::Closed; }));
    ASSERT_TRUE(guest->receive(message)); // sent before the close, read after it
    EXPECT_EQ(message, std::vector<uint8_t>({0x07, 0}));
    EXPECT_EQ(guest->error(), "");
}

// A proxy routes by the Host header: an IPv6 address goes in brackets.
TEST(WebSocket, TheHostHeaderPutsAnIpv6AddressInBrackets) {
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor listener(io);
    boost::system::error_code ec;
    listener.open(boost::asio::ip::tcp::v6(), ec);
    if (!ec) listener.bind({boost::asio::ip::make_address("::1"), 0}, ec);
    if (!ec) listener.listen(1, ec);
    if (ec) GTEST_SKIP() << "no IPv6 loopback here: " << ec.message();
    uint16_t port = listener.local_endpoint().port();
    auto guest = NetWebSocket::join("::1", port, "/play");
    boost::asio::ip::tcp::socket peer(io);
    std::string request;
    listener.async_accept(peer, [&](boost::system::error_code) {});
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (request.find("\r\n\r\n") == std::string::npos &&
           std::chrono::steady_clock::now() < end) {
        guest->poll();
        io.poll();
        char bytes[512];
        size_t n = peer.is_open() && peer.available(ec)
                       ? peer.read_some(boost::asio::buffer(bytes), ec)
                       : 0;
        request.append(bytes, n);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_NE(request.find("Host: [::1]:" + std::to_string(port) + "\r\n"), std::string::npos)
        << request;
}

TEST(WebSocket, NobodyListeningIsRefused) {
    std::string why;
    auto probe = NetWebSocket::host(0, why);
    ASSERT_TRUE(probe);
    uint16_t port = probe->localPort();
    probe.reset(); // the port is free again, and nobody listens on it
    auto guest = NetWebSocket::join("127.0.0.1", port);
    auto idle = NetWebSocket::host(0, why);
    ASSERT_TRUE(pollUntil(*guest, *idle, [&] { return guest->state() == NetLinkState::Closed; }));
    EXPECT_NE(guest->error().find("refused"), std::string::npos) << guest->error();
}

// Two sessions of the toy game over a real connection, 60 passes a second
// each for two seconds: inputs and hashes go both ways, and when the host
// leaves the guest reads that it left.
TEST(WebSocket, SessionsPlayOverTheConnectionAndOneLeaves) {
    std::string why;
    auto host = NetWebSocket::host(0, why);
    ASSERT_TRUE(host) << why;
    auto guest = NetWebSocket::join("127.0.0.1", host->localPort());
    ASSERT_TRUE(pollUntil(*host, *guest, [&] {
        return host->state() == NetLinkState::Open && guest->state() == NetLinkState::Open;
    }));
    ToyGame games[2];
    NetSession sessions[2];
    NetTransport* links[2] = {host.get(), guest.get()};
    for (int k = 0; k < 2; k++) {
        toySessionStart(sessions[k], games[k], links[k]);
        sessions[k].setup.localSide = uint8_t(k);
    }
    auto start = std::chrono::steady_clock::now();
    for (uint32_t ms = 0; ms < 2000;
         ms = uint32_t((std::chrono::steady_clock::now() - start) / std::chrono::milliseconds(1))) {
        for (int k = 0; k < 2; k++) {
            netSessionPoll(sessions[k], ms);
            while (sessions[k].pass < ms * 60 / 1000 + 1 &&
                   netSessionStep(sessions[k], {uint8_t(ms / 100 % 32), 0}, ms) == NetStep::Ran) {}
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (const NetSession& s : sessions) {
        ASSERT_EQ(s.status, NetStatus::Running) << s.message;
        EXPECT_GE(s.lastRemoteHashPass, 60u); // and the hashes matched
    }
    netSessionLeave(sessions[0], NetLeaveQuit, netSessionConfirmed(sessions[0]));
    ASSERT_TRUE(pollUntil(*host, *guest, [&] {
        netSessionPoll(sessions[1], 3000);
        return sessions[1].status != NetStatus::Running;
    }));
    EXPECT_EQ(sessions[1].status, NetStatus::Ended);
    EXPECT_TRUE(sessions[1].remoteLeft);
}

TEST(WebSocket, AddressesWithAndWithoutPorts) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        uint16_t port;
    } cases[] = {
        {"example.org", true, "example.org", 7777},
        {"127.0.0.2:9000", true, "127.0.0.2", 9000},
        {"[::1]:8080", true, "::1", 8080},
        {"[::1]", true, "::1", 7777},
        {"fe80::1", true, "fe80::1", 7777},
        {"host:0", false, "", 0},
        {"host:70000", false, "", 0},
        {":7777", false, "", 0},
        {"[::1]x", false, "", 0},
        {"a b", false, "", 0},
    };
    for (const Case& c : cases) {
        std::string host;
        uint16_t port = 0;
        EXPECT_EQ(netwsParseAddress(c.text, host, port), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(host, c.host);
        EXPECT_EQ(port, c.port);
    }
}

} // namespace

namespace {

TEST(WebSocket, RelayAddresses) {
    struct Case {
        const char* text;
        const char* host; // null: refused
        uint16_t port;
        const char* path;
    } cases[] = {
        {"ws://relay.example", "relay.example", 80, "/play"},
        {"ws://127.0.0.1:8000", "127.0.0.1", 8000, "/play"},
        {"ws://127.0.0.1:8000/", "127.0.0.1", 8000, "/play"},
        {"ws://[::1]:9000/play", "::1", 9000, "/play"},
        {"ws://[::1]/soccer/play", "::1", 80, "/soccer/play"},
        {"wss://relay.example/play", netwsSpeaksTls() ? "relay.example" : nullptr, 443, "/play"},
        {"wss://[::1]:8443/soccer", netwsSpeaksTls() ? "::1" : nullptr, 8443, "/soccer"},
        {"wss:/relay.example", nullptr, 0, ""},
        {"http://relay.example", nullptr, 0, ""},
        {"ws://:8000", nullptr, 0, ""},
        {"ws://host/pl ay", nullptr, 0, ""},
    };
    for (const Case& c : cases) {
        NetRelayAddress a;
        std::string why;
        ASSERT_EQ(netwsParseRelayUrl(c.text, a, why), c.host != nullptr) << c.text;
        if (!c.host) {
            EXPECT_FALSE(why.empty());
            continue;
        }
        EXPECT_EQ(a.host, c.host);
        EXPECT_EQ(a.port, c.port);
        EXPECT_EQ(a.path, c.path);
        EXPECT_EQ(a.secure, c.text[2] == 's') << c.text;
    }
}

} // namespace
