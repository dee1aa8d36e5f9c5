// Online play: the cost of a rollback of 8 passes (load, 8 passes, save), and
// a minute of two-player play over a link in memory at 0 to 250 ms round trip
// with 10 ms jitter: how far the sessions roll back (median and 99th
// percentile of the rollbacks), how often they wait, how far one side runs
// ahead of the other after the first 2 s, and the bytes each side sends a
// second (WebSocket framing included, TCP/IP not).
#include <benchmark/benchmark.h>

#include <algorithm>

#include "platform/platform.h"
#include "shell/driver.h"
#include "shell/game.h"
#include "shell/net_driver.h"
#include "shell/netplay.h"

static void RollbackOf8Passes(benchmark::State& state) {
    DriverOptions o = defaultDriverOptions();
    o.versusComputer = 0;
    o.randomKeys = 1;
    o.maxFrames = 1500; // well into the first half
    playMatch(o);
    NetSaved start, end;
    netSaveGame(nullptr, start);
    uint32_t clock = gameLoop.previousTimestamp;
    for (auto _ : state) {
        netLoadGame(nullptr, start);
        gameLoop.previousTimestamp = clock;
        for (int pass = 1; pass <= 8; pass++) {
            headlessSetClock(clock + 17 * uint32_t(pass));
            headlessSetKeyHeld(VK_LEFT, pass & 1);
            gamePassAgain();
        }
        netSaveGame(nullptr, end);
        benchmark::DoNotOptimize(end.hash);
    }
}
BENCHMARK(RollbackOf8Passes)->Unit(benchmark::kMicrosecond);

// The rollback that `share` of all rollbacks do not exceed, in passes.
static double percentile(const uint32_t* histogram, size_t buckets, double share) {
    uint64_t total = 0, seen = 0;
    for (size_t k = 0; k < buckets; k++) total += histogram[k];
    for (size_t k = 0; k < buckets; k++) {
        seen += histogram[k];
        if (total && double(seen) >= share * double(total)) return double(k);
    }
    return 0;
}

static void MinuteOnline(benchmark::State& state) {
    NetMatchOptions o;
    o.link.roundTripMs = uint32_t(state.range(0));
    o.link.jitterMs = 10;
    o.passes = 3600;
    NetMatchResult r{};
    for (auto _ : state) {
        for (uint32_t seed = 1; seed <= 3; seed++) {
            o.seed = seed;
            r = playNetMatch(o);
        }
    }
    uint32_t histogram[NetPredictionWindow + 2] = {};
    double windowWaits = 0, syncWaits = 0, bytes = 0, rollbacks = 0;
    for (const NetMatchSide& side : r.sides) {
        for (size_t k = 0; k < NetPredictionWindow + 2; k++)
            histogram[k] += side.stats.rollbackHistogram[k];
        double minutes = side.passes / 3600.0;
        windowWaits += side.stats.windowWaits / minutes / 2;
        syncWaits += side.stats.timeSyncWaits / minutes / 2;
        bytes += double(side.bytesSent) / (side.passes / 60.0) / 2;
        rollbacks += side.stats.rollbacks / minutes / 2;
    }
    state.counters["rollbacks/min"] = rollbacks;
    state.counters["median"] = percentile(histogram, NetPredictionWindow + 2, 0.5);
    state.counters["p99"] = percentile(histogram, NetPredictionWindow + 2, 0.99);
    state.counters["waits/min"] = windowWaits;
    state.counters["syncWaits/min"] = syncWaits;
    state.counters["aheadAfter2s"] = r.worstAheadAfter2s;
    state.counters["bytes/s"] = bytes;
}
BENCHMARK(MinuteOnline)
    ->Arg(0)
    ->Arg(50)
    ->Arg(100)
    ->Arg(150)
    ->Arg(250)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
