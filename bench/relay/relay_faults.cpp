// The faults, one after the other, each on its own rooms, with the time each
// took to be noticed.
#include "bench/relay/relay_faults.h"

#include <cstdio>

#include "bench/relay/load_client.h"

namespace {

int64_t msSince(int64_t startNs) {
    return (nowNs() - startNs) / 1000000;
}

// Runs the clients until done() or ms have passed: the milliseconds it took, or -1.
int64_t runUntil(net::io_context& io, const std::function<bool()>& done, int64_t ms) {
    int64_t start = nowNs();
    while (!done()) {
        if (msSince(start) >= ms) return -1;
        io.restart(); // it stops whenever every client is gone
        io.run_for(std::chrono::milliseconds(2));
    }
    return msSince(start);
}

// A client that keeps what it hears and whether it was closed.
struct Seen {
    std::shared_ptr<LoadClient> client;
    std::vector<Bytes> heard;
    bool closed = false;
    bool has(const Bytes& m) const {
        return std::find(heard.begin(), heard.end(), m) != heard.end();
    }
    bool hasKind(uint8_t kind) const {
        for (const Bytes& m : heard)
            if (m[0] == kind) return true;
        return false;
    }
};

std::shared_ptr<Seen> client(net::io_context& io, uint16_t port, Bytes first, int buffer = 0) {
    auto seen = std::make_shared<Seen>();
    seen->client = std::make_shared<LoadClient>(io);
    seen->client->receiveBuffer = buffer;
    // The client can outlive what it tells (its last read ends after the test).
    std::weak_ptr<Seen> weak = seen;
    seen->client->onMessage = [weak](LoadClient&, const Bytes& m) {
        if (auto s = weak.lock()) s->heard.push_back(m);
    };
    seen->client->onClosed = [weak](LoadClient&, beast::error_code) {
        if (auto s = weak.lock()) s->closed = true;
    };
    seen->client->connect(port, [first](LoadClient& c) {
        c.send(helloMessage());
        if (!first.empty()) c.send(first);
    });
    return seen;
}

struct Match {
    std::shared_ptr<Seen> host, guest, watcher;
};

// A room with both players and a spectator seated.
Match openMatch(net::io_context& io, uint16_t port, int watcherBuffer = 0) {
    Match m;
    m.host = client(io, port, {RelayCreate});
    runUntil(
        io, [&] { return m.host->hasKind(RelayJoined); }, 3000);
    std::string code = m.host->heard.empty()
                           ? ""
                           : std::string(m.host->heard[0].begin() + 2, m.host->heard[0].end());
    m.guest = client(io, port, codeMessage(RelayJoin, code));
    m.watcher = client(io, port, codeMessage(RelayWatch, code), watcherBuffer);
    runUntil(
        io, [&] { return m.guest->hasKind(RelayJoined) && m.watcher->hasKind(RelayJoined); }, 3000);
    return m;
}

bool report(const char* what, int64_t ms, int64_t limit) {
    bool ok = ms >= 0 && ms <= limit;
    std::printf("  %-62s %6lld ms%s\n", what, (long long)ms, ok ? "" : "  FAILED");
    return ok;
}

bool killedPlayer(net::io_context& io, uint16_t port) {
    Match m = openMatch(io, port);
    m.guest->client->kill();
    Bytes left{RelayPeerLeft, SeatGuest, ReasonLost};
    int64_t host = runUntil(
        io, [&] { return m.host->has(left); }, 3000);
    int64_t watcher = runUntil(
        io, [&] { return m.watcher->has(left); }, 3000);
    // Both lines are printed, whatever the first says.
    const bool first = report("a player killed: the other player told after", host, 2000);
    const bool second = report("  and the spectator after (more)", watcher, 2000);
    return first && second;
}

bool frozenPlayer(net::io_context& io, uint16_t port) {
    Match m = openMatch(io, port);
    m.guest->client->reading = false; // stops answering and sending, the connection stays
    int64_t silent = runUntil(
        io, [&] { return m.host->hasKind(RelayPeerSilent); }, 4000);
    int64_t dropped = runUntil(
        io,
        [&] {
            return m.host->has({RelayPeerLeft, SeatGuest, ReasonSilent});
        },
        12000);
    // Both lines are printed, whatever the first says.
    const bool first = report("a frozen player: reported silent to the other after", silent, 2000);
    const bool second = report("  and dropped after (more)", dropped, 10000);
    return first && second;
}

bool slowReader(net::io_context& io, RelayProcess& relay) {
    Match m = openMatch(io, relay.port, 4096);
    m.watcher->client->reading = false;
    LoadTally tally;
    m.guest->client->onMessage = [&](LoadClient& c, const Bytes& b) {
        if (b[0] == 0x10) LoadClient::check(b, c.fromPeer, tally);
    };
    int64_t start = nowNs();
    while (!relayLogged(relay, "closed: too slow reading") && msSince(start) < 30000) {
        m.host->client->send(LoadClient::stamped(0x10, m.host->client->sent++, 24));
        m.host->client->send(LoadClient::stamped(RelayFeed, m.host->client->fed++, 4000));
        io.run_for(std::chrono::milliseconds(4));
    }
    int64_t dropped = msSince(start);
    runUntil(
        io, [&] { return m.guest->client->fromPeer.next == m.host->client->sent; }, 2000);
    std::printf(
        "  the match went on meanwhile: %llu messages to the guest, lost %llu, p99 %.0f us\n",
        (unsigned long long)tally.received,
        (unsigned long long)(m.host->client->sent - m.guest->client->fromPeer.next),
        tally.latency.percentile(0.99));
    return report("a spectator that stops reading: dropped after", dropped, 30000) &&
           m.guest->client->fromPeer.next == m.host->client->sent && !m.host->closed;
}

bool silentClients(net::io_context& io, uint16_t port) {
    tcp::socket raw(io);
    raw.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), port));
    bool rawClosed = false;
    char byte;
    raw.async_read_some(net::buffer(&byte, 1),
                        [&](beast::error_code, size_t) { rawClosed = true; });
    auto mute = std::make_shared<Seen>();
    mute->client = std::make_shared<LoadClient>(io);
    mute->client->onClosed = [&](LoadClient&, beast::error_code) { mute->closed = true; };
    mute->client->connect(port, [](LoadClient&) {}); // a WebSocket, but no hello
    int64_t t1 = runUntil(
        io, [&] { return rawClosed; }, 12000);
    int64_t t2 = runUntil(
        io, [&] { return mute->closed; }, 2000);
    // Both lines are printed, whatever the first says.
    const bool first = report("a connection that sends nothing: closed after", t1, 11000);
    const bool second = report("a WebSocket that never says hello: closed within (more)", t2, 2000);
    return first && second;
}

bool killedRelay(net::io_context& io, RelayProcess& relay) {
    Match m = openMatch(io, relay.port);
    relayStop(relay, SIGKILL);
    int64_t lost = runUntil(
        io, [&] { return m.host->closed && m.guest->closed && m.watcher->closed; }, 3000);
    bool ok =
        report("the relay killed: all three clients saw the connection lost after", lost, 2000);
    int64_t start = nowNs();
    if (!relayStart(relay)) return std::printf("  the relay did not start again\n"), false;
    auto again = client(io, relay.port, {RelayCreate});
    runUntil(
        io, [&] { return again->hasKind(RelayJoined); }, 3000);
    return report("  started again: a new room made after", msSince(start), 5000) & ok;
}

} // namespace

int runFaults(RelayProcess& relay) {
    if (!relayStart(relay)) return std::printf("the relay did not start\n"), 1;
    std::printf("faults:\n");
    net::io_context io;
    bool ok = killedPlayer(io, relay.port);
    ok &= frozenPlayer(io, relay.port);
    ok &= slowReader(io, relay);
    ok &= silentClients(io, relay.port);
    ok &= killedRelay(io, relay);
    auto bye = client(io, relay.port, {RelayCreate});
    runUntil(
        io, [&] { return bye->hasKind(RelayJoined); }, 3000);
    int64_t start = nowNs();
    kill(relay.pid, SIGTERM);
    runUntil(
        io, [&] { return bye->closed; }, 3000);
    int64_t told = bye->hasKind(RelayGoingAway) ? msSince(start) : -1;
    int status = relayStop(relay, 0);
    ok &= report("SIGTERM: the client told the relay goes away after", told, 1000);
    ok &=
        report("  and the relay exited 0 after (in all)", status == 0 ? msSince(start) : -1, 3000);
    return ok ? 0 : 1;
}
