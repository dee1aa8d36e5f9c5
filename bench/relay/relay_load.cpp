// relay-load: puts a soccer-relay on 127.0.0.1 under the load of many matches
// at once and through its faults, and prints the figures. Not a test: its
// numbers depend on the machine; it only fails when a message is lost,
// duplicated or reordered, or a fault is not handled.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "bench/relay/load_client.h"
#include "bench/relay/relay_faults.h"
#include "bench/relay/relay_process.h"

namespace {

struct LoadPlan {
    int rooms = 500;
    int spectators = 1; // per room
    int rate = 60;      // messages a second from each player
    int seconds = 60;
    int size = 24; // bytes of each message
};

struct Room {
    std::shared_ptr<LoadClient> host, guest;
    std::vector<std::shared_ptr<LoadClient>> watchers;
    int seated = 0; // clients that have their seat
    int64_t due = 0;
};

// Host creates, guest joins, spectators watch; counts the rooms with everyone seated.
void seatRoom(net::io_context& io, uint16_t port, Room& room, const LoadPlan& plan,
              LoadTally& tally, int& ready) {
    room.host = std::make_shared<LoadClient>(io);
    room.guest = std::make_shared<LoadClient>(io);
    for (int s = 0; s < plan.spectators; s++)
        room.watchers.push_back(std::make_shared<LoadClient>(io));
    int everyone = 2 + plan.spectators;
    auto seatedOne = [&room, &ready, everyone] {
        if (++room.seated == everyone) ready++;
    };
    auto hostSaw = [&, port, seatedOne](LoadClient& c, const Bytes& m) {
        if (m[0] == 0x11) return LoadClient::check(m, c.fromPeer, tally);
        if (m[0] == RelayRefused) tally.refused++;
        if (m[0] != RelayJoined) return;
        seatedOne();
        std::string code(m.begin() + 2, m.end());
        room.guest->connect(port, [code](LoadClient& g) {
            g.send(helloMessage());
            g.send(codeMessage(RelayJoin, code));
        });
        for (auto& w : room.watchers)
            w->connect(port, [code](LoadClient& s) {
                s.send(helloMessage());
                s.send(codeMessage(RelayWatch, code));
            });
    };
    room.host->onMessage = hostSaw;
    auto otherSaw = [&tally, seatedOne](LoadClient& c, const Bytes& m) {
        if (m[0] == 0x10)
            LoadClient::check(m, c.fromPeer, tally);
        else if (m[0] == RelayFeed)
            LoadClient::check(m, c.fromFeed, tally);
        else if (m[0] == RelayJoined)
            seatedOne();
        else if (m[0] == RelayRefused)
            tally.refused++;
    };
    room.guest->onMessage = otherSaw;
    for (auto& w : room.watchers) w->onMessage = otherSaw;
    room.host->connect(port, [](LoadClient& h) {
        h.send(helloMessage());
        h.send({RelayCreate});
    });
}

// Every player sends rate numbered messages a second to the other; the host
// also sends each as the spectators' record. Rooms take turns through each period.
void play(net::io_context& io, std::vector<Room>& rooms, const LoadPlan& plan) {
    int64_t period = 1000000000LL / plan.rate, start = nowNs(),
            end = start + plan.seconds * 1000000000LL;
    for (size_t r = 0; r < rooms.size(); r++)
        rooms[r].due = start + period * int64_t(r) / int64_t(rooms.size());
    net::steady_timer timer(io);
    std::function<void()> step = [&] {
        int64_t now = nowNs();
        for (Room& room : rooms) {
            while (room.due <= now && room.due < end) {
                room.host->send(LoadClient::stamped(0x10, room.host->sent++, size_t(plan.size)));
                room.host->send(
                    LoadClient::stamped(RelayFeed, room.host->fed++, size_t(plan.size)));
                room.guest->send(LoadClient::stamped(0x11, room.guest->sent++, size_t(plan.size)));
                room.due += period;
            }
        }
        if (now >= end) return;
        timer.expires_after(std::chrono::microseconds(500));
        timer.async_wait([&](beast::error_code) { step(); });
    };
    step();
    while (nowNs() < end + 2000000000LL) io.run_for(std::chrono::milliseconds(50)); // and drain
}

// Messages that never came at the end of each stream count as lost.
void countMissing(std::vector<Room>& rooms, LoadTally& tally) {
    for (Room& room : rooms) {
        tally.lost += room.host->sent - room.guest->fromPeer.next;
        tally.lost += room.guest->sent - room.host->fromPeer.next;
        for (auto& w : room.watchers) tally.lost += room.host->fed - w->fromFeed.next;
    }
}

int runLoad(RelayProcess& relay, const LoadPlan& plan) {
    if (!relayStart(relay)) return std::printf("the relay did not start\n"), 1;
    long memoryBefore = relayMemoryKb(relay);
    net::io_context io;
    std::vector<Room> rooms(size_t(plan.rooms));
    LoadTally tally;
    int ready = 0;
    for (Room& room : rooms) seatRoom(io, relay.port, room, plan, tally, ready);
    for (int i = 0; i < 600 && ready < plan.rooms; i++) io.run_for(std::chrono::milliseconds(100));
    std::printf("%d rooms of %d seated (%d players, %d spectators)\n", ready, plan.rooms,
                2 * plan.rooms, plan.spectators * plan.rooms);
    long memoryRooms = relayMemoryKb(relay);
    double cpuBefore = relayCpuSeconds(relay);
    play(io, rooms, plan);
    double cpu = relayCpuSeconds(relay) - cpuBefore;
    countMissing(rooms, tally);
    uint64_t sent = 0;
    for (Room& room : rooms) sent += room.host->sent * (1 + plan.spectators) + room.guest->sent;
    std::printf("messages: %llu to deliver, %llu delivered; lost %llu, duplicated %llu, reordered "
                "%llu, refused %llu\n",
                (unsigned long long)sent, (unsigned long long)tally.received,
                (unsigned long long)tally.lost, (unsigned long long)tally.duplicated,
                (unsigned long long)tally.reordered, (unsigned long long)tally.refused);
    std::printf("forwarding latency: median %.0f us, 99th percentile %.0f us, 99.9th %.0f us\n",
                tally.latency.percentile(0.5), tally.latency.percentile(0.99),
                tally.latency.percentile(0.999));
    std::printf("relay CPU: %.2f s in %d s, %.0f%% of one core; memory %ld kB idle, %ld kB with "
                "the rooms, %.1f kB a room\n",
                cpu, plan.seconds, 100.0 * cpu / (plan.seconds + 2), memoryBefore, memoryRooms,
                double(memoryRooms - memoryBefore) / plan.rooms);
    // SIGTERM with every client still there: each is told, then the relay exits 0.
    int64_t start = nowNs();
    kill(relay.pid, SIGTERM);
    size_t open = 1;
    for (int i = 0; i < 300 && open > 0; i++) {
        io.restart();
        io.run_for(std::chrono::milliseconds(10));
        open = 0;
        for (Room& room : rooms) open += room.host->open + room.guest->open;
    }
    int status = relayStop(relay, 0);
    std::printf("SIGTERM: the relay exited with %d after %lld ms, %zu players not yet closed\n",
                status, (long long)((nowNs() - start) / 1000000), open);
    bool ok = ready == plan.rooms && tally.lost == 0 && tally.duplicated == 0 &&
              tally.reordered == 0 && status == 0;
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"relay-load: soccer-relay under load and faults, on 127.0.0.1"};
    LoadPlan plan;
    RelayProcess relay;
    relay.program = "./soccer-relay";
    relay.logFile = "relay-load.log";
    bool faults = true, load = true;
    app.add_option("--relay", relay.program, "The soccer-relay program")->capture_default_str();
    app.add_option("--log", relay.logFile, "Where the relay's log goes")->capture_default_str();
    app.add_option("--rooms", plan.rooms, "Rooms at once")->capture_default_str();
    app.add_option("--spectators", plan.spectators, "Spectators a room")->capture_default_str();
    app.add_option("--rate", plan.rate, "Messages a second from each player")
        ->capture_default_str();
    app.add_option("--seconds", plan.seconds, "How long the load lasts")->capture_default_str();
    app.add_option("--size", plan.size, "Bytes a message")->capture_default_str();
    app.add_flag("!--no-faults", faults, "Skip the faults");
    app.add_flag("!--no-load", load, "Skip the load");
    CLI11_PARSE(app, argc, argv);
    relay.port = freePort();
    relay.options = {"--rooms-per-minute", "100000", "--max-rooms", "100000", "--rate", "1000"};
    int status = 0;
    if (load) status |= runLoad(relay, plan);
    if (faults) status |= runFaults(relay);
    std::printf(status == 0 ? "relay-load: all held\n" : "relay-load: FAILED\n");
    return status;
}
