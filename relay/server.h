// soccer-relay's network side: one port for the page's files over HTTP and the
// WebSocket endpoint /play, on Boost.Beast over one Asio thread, which feeds
// the rooms of relay/relay.h and sends what they say.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "relay/relay.h"

struct RelayServerOptions {
    std::string address = "0.0.0.0";
    uint16_t port = 8000;    // 0: any free port (relayServerPort says which)
    std::string web;         // the page's folder; empty: only /play
    bool trustProxy = false; // take the client's address from X-Real-IP (behind a proxy)
    bool signals = true;     // SIGTERM and SIGINT stop the server
    RelayLimits limits;
};

struct RelayServer;

// Listens; throws std::exception (naming the address) when it cannot.
RelayServer* relayServerOpen(const RelayServerOptions& options,
                             std::function<void(const std::string&)> log);
uint16_t relayServerPort(const RelayServer* server);
// Serves until stopped: every client is told the relay goes away, then it returns.
void relayServerRun(RelayServer* server);
// From any thread: what SIGTERM does.
void relayServerStop(RelayServer* server);
void relayServerClose(RelayServer* server);
