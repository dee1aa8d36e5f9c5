// soccer-relay: rooms for online matches. Players who cannot open a port meet
// here by a five-letter code; the relay forwards their messages unchanged and
// keeps each match's record for spectators who come late.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "relay/server.h"

namespace {

void addLimitOptions(CLI::App& app, RelayLimits& l, int64_t& idleSeconds) {
    const struct {
        const char* name;
        uint32_t* value;
        const char* help;
        uint32_t lowest, highest;
    } limits[] = {
        {"--max-message", &l.messageBytes, "Largest message a client may send, bytes", 16,
         1u << 20},
        {"--rate", &l.messagesPerSecond, "Messages a second one client may send", 1, 100000},
        {"--rooms-per-minute", &l.roomsPerMinute, "New rooms one address may create a minute", 1,
         100000},
        {"--max-rooms", &l.roomsInAll, "Rooms at once", 1, 1000000},
        {"--spectators", &l.spectatorsPerRoom, "Spectators one room may have", 0, 255},
        {"--queue", &l.queueMessages,
         "Unsent messages to one client before it is dropped as too slow", 8, 1000000},
        {"--record-bytes", &l.feedBytes, "Bytes of a match kept for spectators who join late", 0,
         1u << 30},
    };
    for (const auto& o : limits) {
        app.add_option(o.name, *o.value, o.help)
            ->capture_default_str()
            ->check(CLI::Range(o.lowest, o.highest));
    }
    app.add_option("--idle", idleSeconds, "Seconds without a message after which a room ends")
        ->capture_default_str()
        ->check(CLI::Range(10, 86400));
}

int runRelay(int argc, char** argv) {
    CLI::App app{"soccer-relay: rooms for online matches of Torvelun Soccer, and the page"};
    RelayServerOptions options;
    int64_t idleSeconds = options.limits.roomIdleMs / 1000;
    std::string build;
    app.add_option("--port", options.port, "TCP port for HTTP and the WebSocket endpoint /play")
        ->capture_default_str();
    app.add_option("--address", options.address, "Address to listen on")->capture_default_str();
    app.add_option("--web", options.web, "Folder of the page's files to serve (else only /play)")
        ->check(CLI::ExistingDirectory);
    app.add_flag("--trust-proxy", options.trustProxy,
                 "Take each client's address from X-Real-IP (only behind a proxy)");
    app.add_option("--build", build, "Serve only this game build (16 hex digits)")
        ->check(CLI::Validator(
            [](std::string& s) {
                return s.size() == 16 && s.find_first_not_of("0123456789abcdefABCDEF") == s.npos
                           ? std::string()
                           : std::string("a build is 16 hex digits");
            },
            "HEX16"));
    app.add_option("--code-prefix", options.limits.codePrefix,
                   "Letters every room code of this relay starts with (one relay of several)")
        ->check(CLI::Validator(
            [](std::string& s) {
                return s.size() < 4 && s.find_first_not_of(relayCodeLetters) == s.npos
                           ? std::string()
                           : std::string("up to 3 of the letters ") + relayCodeLetters;
            },
            "LETTERS"));
    addLimitOptions(app, options.limits, idleSeconds);
    CLI11_PARSE(app, argc, argv);
    options.limits.roomIdleMs = idleSeconds * 1000;
    if (!build.empty()) options.limits.build = std::stoull(build, nullptr, 16);
    RelayServer* server = relayServerOpen(options, [](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    });
    std::fprintf(stderr, "soccer-relay on %s:%u%s\n", options.address.c_str(),
                 unsigned(relayServerPort(server)), options.web.empty() ? "" : ", with the page");
    relayServerRun(server);
    relayServerClose(server);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return runRelay(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "soccer-relay: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "soccer-relay: stopped by an unknown error\n");
    }
    return 1;
}
