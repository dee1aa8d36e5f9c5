// relay-load: puts a soccer-relay on 127.0.0.1 under the load of many matches
// at once and through its faults, and prints the figures. Not a test: its
// numbers depend on the machine; it only fails when a message is lost,
// duplicated or reordered, or a fault is not handled.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

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
    bool pin = false;
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
    bool done = false; // the last step has run: nothing waits on this frame any more
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
        if (now >= end) return void(done = true);
        timer.expires_after(std::chrono::microseconds(500));
        timer.async_wait([&](beast::error_code) { step(); });
    };
    step();
    while (!done) io.run_for(std::chrono::milliseconds(50));
}

// Messages every receiver should have by the end.
uint64_t toDeliver(const std::vector<Room>& rooms, const LoadPlan& plan) {
    uint64_t sent = 0;
    for (const Room& room : rooms)
        sent += room.host->sent * uint64_t(1 + plan.spectators) + room.guest->sent;
    return sent;
}

// After the load, waits (up to 30 s) for what is still on its way: a relay that
// fell behind delivers late, and only what never comes counts as lost.
double drain(net::io_context& io, const std::vector<Room>& rooms, const LoadPlan& plan,
             const LoadTally& tally) {
    int64_t start = nowNs();
    uint64_t sent = toDeliver(rooms, plan);
    while (tally.received < sent && nowNs() - start < 30000000000LL)
        io.run_for(std::chrono::milliseconds(10));
    return double(nowNs() - start) / 1e6;
}

// Puts this process on the last core and the relay on the first, so that
// neither takes the other's time: the figures are then the relay's own.
void pinCores(const RelayProcess& relay) {
    int cores = int(sysconf(_SC_NPROCESSORS_ONLN));
    if (cores < 2) return void(std::printf("--pin: one core only, nothing pinned\n"));
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(0, &set);
    sched_setaffinity(relay.pid, sizeof set, &set);
    CPU_ZERO(&set);
    CPU_SET(cores - 1, &set);
    sched_setaffinity(0, sizeof set, &set);
}

double selfCpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
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
    if (plan.pin) pinCores(relay);
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
    double cpuBefore = relayCpuSeconds(relay), selfBefore = selfCpuSeconds();
    play(io, rooms, plan);
    double cpu = relayCpuSeconds(relay) - cpuBefore, self = selfCpuSeconds() - selfBefore;
    uint64_t onTime = tally.received;
    double drained = drain(io, rooms, plan, tally);
    countMissing(rooms, tally);
    uint64_t sent = toDeliver(rooms, plan);
    std::printf("messages: %llu to deliver, %llu delivered; lost %llu, duplicated %llu, reordered "
                "%llu, refused %llu\n",
                (unsigned long long)sent, (unsigned long long)tally.received,
                (unsigned long long)tally.lost, (unsigned long long)tally.duplicated,
                (unsigned long long)tally.reordered, (unsigned long long)tally.refused);
    std::printf("forwarding latency: median %.0f us, 99th percentile %.0f us, 99.9th %.0f us\n",
                tally.latency.percentile(0.5), tally.latency.percentile(0.99),
                tally.latency.percentile(0.999));
    std::printf("after the load: %llu still on their way, all in after %.0f ms\n",
                (unsigned long long)(tally.received - onTime), drained);
    std::printf("relay CPU: %.2f s in %d s, %.0f%% of one core (%.1f us a delivered message); "
                "load's own CPU %.0f%%\n",
                cpu, plan.seconds, 100.0 * cpu / plan.seconds, 1e6 * cpu / double(onTime),
                100.0 * self / plan.seconds);
    std::printf("relay memory: %ld kB idle, %ld kB with the rooms, %.1f kB a room\n", memoryBefore,
                memoryRooms, double(memoryRooms - memoryBefore) / plan.rooms);
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
    app.add_flag("--pin", plan.pin, "The relay on the first core, the load on the last");
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
