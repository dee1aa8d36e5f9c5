// The WebSocket transport on 127.0.0.1: a host and a guest in one process
// exchange binary messages both ways and in order; a close reaches the other
// side after what was sent before it; nobody listening is "refused".
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "netws/websocket.h"

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

TEST(WebSocket, AddressesWithAndWithoutPorts) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        uint16_t port;
    } cases[] = {
        {"example.org", true, "example.org", 7777},
        {"10.0.0.2:9000", true, "10.0.0.2", 9000},
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
