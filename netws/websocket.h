// The desktop's transport: one WebSocket connection (Boost.Beast over Asio),
// binary messages, driven from the game's own loop (poll) without a thread
// of its own. The host listens and takes the first player who connects; the
// guest connects to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/transport.h"

class NetWebSocket final : public NetTransport {
  public:
    // Listens on `port` (0: any free port) on every address, IPv6 and IPv4.
    // Null, with the reason in `why`, when the port cannot be had.
    static std::unique_ptr<NetWebSocket> host(uint16_t port, std::string& why);
    // Connects to `host` (a name or an address) on `port`, asking for
    // `path` (a relay's "/play", with a query when a proxy routes by it).
    static std::unique_ptr<NetWebSocket> join(const std::string& host, uint16_t port,
                                              const std::string& path = "/");
    ~NetWebSocket() override;

    void send(const std::vector<uint8_t>& message) override;
    bool receive(std::vector<uint8_t>& message) override;
    void poll() override;
    NetLinkState state() const override;
    std::string error() const override;
    void close(const std::string& why) override;
    uint64_t bytesSent() const override;
    uint64_t bytesReceived() const override;
    // The port a host listens on.
    uint16_t localPort() const;

    struct Impl;

  private:
    explicit NetWebSocket(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl;
};

// This machine's addresses another machine may reach it at (loopback left
// out), for the host's waiting screen.
std::vector<std::string> netwsLocalAddresses();

// "HOST", "HOST:PORT", "[V6]" or "[V6]:PORT"; false for anything else.
bool netwsParseAddress(const std::string& text, std::string& host, uint16_t& port);

// A relay's address: ws://HOST[:PORT][/PATH], port 80 and path /play unless
// given. wss:// is refused (TLS is the proxy's, for the browsers), as is
// anything else, with one line in `why`.
struct NetRelayAddress {
    std::string host;
    uint16_t port = 80;
    std::string path = "/play";
};
bool netwsParseRelayUrl(const std::string& text, NetRelayAddress& out, std::string& why);
