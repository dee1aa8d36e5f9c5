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

// A relay's address: ws://HOST[:PORT][/PATH] or wss://HOST[:PORT][/PATH], port
// 80 (443 for wss://) and path /play unless given. Anything else is refused
// with one line in `why`, and so is wss:// where the build has no TLS (the
// Windows build: there the relay's own ws:// port is the way in).
struct NetRelayAddress {
    std::string host;
    uint16_t port = 80;
    std::string path = "/play";
    bool secure = false; // wss://
};
bool netwsParseRelayUrl(const std::string& text, NetRelayAddress& out, std::string& why);

// Whether this build speaks wss:// (the Linux build does, through OpenSSL).
bool netwsSpeaksTls();

// Connects to the relay at `at`, asking for `path`. For wss:// the relay's
// certificate must be good for its name and come from an authority the system
// trusts, or one in the PEM file `caFile` when that is given (a private
// authority's; SOCCER_CA_FILE); a failure ends the connection with one line.
std::unique_ptr<NetTransport> netwsJoinRelay(const NetRelayAddress& at, const std::string& path,
                                             const std::string& caFile = "");
