// The browser's transport: one WebSocket of the page (emscripten's
// websocket.h), binary messages, the browser's own event loop doing the
// reading and writing between two turns of the game's loop. Built only for
// the browser; the desktop has NetWebSocket (websocket.h).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "net/transport.h"

class NetBrowserSocket final : public NetTransport {
  public:
    // Starts connecting to `url` (ws:// or wss://); state() says how it goes.
    explicit NetBrowserSocket(const std::string& url);
    ~NetBrowserSocket() override;
    NetBrowserSocket(const NetBrowserSocket&) = delete;
    NetBrowserSocket& operator=(const NetBrowserSocket&) = delete;

    void send(const std::vector<uint8_t>& message) override;
    bool receive(std::vector<uint8_t>& message) override;
    void poll() override;
    NetLinkState state() const override;
    std::string error() const override;
    void close(const std::string& why) override;
    uint64_t bytesSent() const override;
    uint64_t bytesReceived() const override;

    // The socket's callbacks (browser_socket.cpp) write these.
    int socket = 0;
    NetLinkState linkState = NetLinkState::Connecting;
    std::string why;
    std::deque<std::vector<uint8_t>> inbox, outbox; // outbox: sent before the link opened
    uint64_t sentBytes = 0, receivedBytes = 0;
    bool closing = false; // close() was called: nothing more arrives
};

// The relay's endpoint on the page's own origin: ws://HOST/play, or wss://
// when the page came over HTTPS.
std::string netBrowserPlayUrl();
