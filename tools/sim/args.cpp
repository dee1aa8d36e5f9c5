#include "tools/sim/args.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static bool parseNumber(const char* text, long long low, long long high, long long* value) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 10);
    if (errno || *end || v < low || v > high) return false;
    *value = v;
    return true;
}

// "A:B", each a whole number in its range.
static bool parsePair(const char* value, long long lowA, long long highA, long long lowB,
                      long long highB, uint32_t* a, uint32_t* b) {
    const char* colon = std::strchr(value, ':');
    char first[32];
    size_t n = colon ? size_t(colon - value) : 0;
    long long va = 0, vb = 0;
    if (!colon || n >= sizeof first) return false;
    std::memcpy(first, value, n);
    first[n] = 0;
    if (!parseNumber(first, lowA, highA, &va) || !parseNumber(colon + 1, lowB, highB, &vb))
        return false;
    *a = uint32_t(va);
    *b = uint32_t(vb);
    return true;
}

const char simUsage[] = R"(Usage: soccer-sim [OPTIONS]
Plays whole matches without a window, the game's own rules and flow, and prints
a line of figures for each: score, kicks, tackles, restarts, possession.

Options:
  --matches N          how many matches, seeds counting up from --seed (1)
  --seed N             the first match's seed (1)
  --strength N         the computer's strength: 20, 40, 60, 80 or 100 (60)
  --duration N         clock seconds of a match: 90, 120, 150 or 180 (90)
  --versus WHO         team B is the "computer" (default) or "scripted" player
  --random-keys        both sides press random keys instead of playing
  --ms N               every frame lasts N ms (16)
  --ms-range A:B       each frame lasts A to B ms, drawn anew
  --stall N:MS         every N-th frame lasts MS ms instead
  --json               one JSON object a match, no summary
  --record FILE        records the match (with --matches 1) as a replay
  --replay FILE        plays a recorded match again (only --json and --sync-test with it)
  --sync-test N        rolls back N passes (1 to 31) at every pass and runs them
                       again, stopping at the first state that differs
  --help               this text
)";

// Reads the value of an option that takes one; false if it is not one the
// option allows.
static bool readSimValue(const char* opt, const char* value, SimSettings* s) {
    long long v = 0;
    bool ok = true;
    if (!std::strcmp(opt, "--record") || !std::strcmp(opt, "--replay")) {
        ok = *value != 0;
        (!std::strcmp(opt, "--record") ? s->record : s->replay) = value;
    } else if (!std::strcmp(opt, "--stall")) {
        ok = parsePair(value, 1, 1000000, 0, 60000, &s->driver.stallEvery, &s->driver.stallMs);
    } else if (!std::strcmp(opt, "--sync-test")) {
        ok = parseNumber(value, 1, 31, &v);
        s->driver.syncTest = uint32_t(v);
    } else if (!std::strcmp(opt, "--matches")) {
        ok = parseNumber(value, 1, 1000000000, &v);
        s->matches = int32_t(v);
    } else if (!std::strcmp(opt, "--seed")) {
        ok = parseNumber(value, 0, 0xFFFFFFFFll, &v);
        s->driver.seed = uint32_t(v);
    } else if (!std::strcmp(opt, "--strength")) {
        ok = parseNumber(value, 20, 100, &v) && v % 20 == 0;
        s->driver.strength = int32_t(v);
    } else if (!std::strcmp(opt, "--duration")) {
        ok = parseNumber(value, 90, 180, &v) && v % 30 == 0;
        s->driver.duration = int32_t(v);
    } else if (!std::strcmp(opt, "--ms")) {
        // A frame of 0 ms moves nothing: a match of such frames never ends.
        ok = parseNumber(value, 1, 10000, &v);
        s->driver.msMin = s->driver.msMax = uint32_t(v);
    } else if (!std::strcmp(opt, "--ms-range")) {
        ok = parsePair(value, 0, 10000, 1, 10000, &s->driver.msMin, &s->driver.msMax) &&
             s->driver.msMin <= s->driver.msMax;
    } else {
        ok = !std::strcmp(value, "computer") || !std::strcmp(value, "scripted");
        s->driver.versusComputer = !std::strcmp(value, "computer");
    }
    return ok;
}

bool parseSimArguments(int argc, const char* const* argv, SimSettings* settings, char* error,
                       int errorSize) {
    SimSettings s{};
    int matchOptions = 0; // options that shape a match, which a replay brings itself
    s.driver = defaultDriverOptions();
    s.matches = 1;
    for (int i = 1; i < argc; i++) {
        const char* opt = argv[i];
        if (std::strcmp(opt, "--help") == 0 || std::strcmp(opt, "-h") == 0) {
            s.help = 1;
            continue;
        }
        if (std::strcmp(opt, "--json") == 0) {
            s.json = 1;
            continue;
        }
        if (std::strcmp(opt, "--random-keys") == 0) {
            s.driver.randomKeys = 1;
            matchOptions++;
            continue;
        }
        bool known = !std::strcmp(opt, "--matches") || !std::strcmp(opt, "--seed") ||
                     !std::strcmp(opt, "--strength") || !std::strcmp(opt, "--duration") ||
                     !std::strcmp(opt, "--ms") || !std::strcmp(opt, "--ms-range") ||
                     !std::strcmp(opt, "--versus") || !std::strcmp(opt, "--stall") ||
                     !std::strcmp(opt, "--record") || !std::strcmp(opt, "--replay") ||
                     !std::strcmp(opt, "--sync-test");
        if (!known) {
            std::snprintf(error, size_t(errorSize), "unknown option: %s", opt);
            return false;
        }
        if (i + 1 >= argc) {
            std::snprintf(error, size_t(errorSize), "missing value for %s", opt);
            return false;
        }
        const char* value = argv[++i];
        matchOptions += std::strcmp(opt, "--replay") != 0 && std::strcmp(opt, "--sync-test") != 0;
        if (!readSimValue(opt, value, &s)) {
            std::snprintf(error, size_t(errorSize), "bad value for %s: %s", opt, value);
            return false;
        }
    }
    // A replay brings everything its match needs; one recording holds one match.
    if (s.replay && matchOptions > 0) {
        std::snprintf(error, size_t(errorSize),
                      "--replay takes no other option but --json and --sync-test");
        return false;
    }
    if (s.record && s.matches != 1) {
        std::snprintf(error, size_t(errorSize), "--record needs --matches 1");
        return false;
    }
    *settings = s;
    return true;
}

void formatMatchLine(const MatchStats& m, bool json, char* out, int outSize) {
    double frames = m.frames > 0 ? double(m.frames) : 1.0;
    double posA = double(m.framesA) / frames, posB = double(m.framesB) / frames;
    if (json) {
        std::snprintf(out, size_t(outSize),
                      "{\"seed\":%u,\"strength\":%d,\"scoreA\":%d,\"scoreB\":%d,\"kicks\":%d,"
                      "\"tackles\":%d,\"throwIns\":%d,\"corners\":%d,\"goalKicks\":%d,"
                      "\"possessionA\":%.4f,\"possessionB\":%.4f,\"frames\":%lld}",
                      m.seed, m.strength, m.scoreA, m.scoreB, m.kicks, m.tackles, m.throwIns,
                      m.corners, m.goalKicks, posA, posB, static_cast<long long>(m.frames));
    } else {
        std::snprintf(out, size_t(outSize),
                      "seed %u strength %d: A %d - %d B, kicks %d, tackles %d, throw-ins %d, "
                      "corners %d, goal kicks %d, possession A %.1f%% B %.1f%%, %lld frames%s",
                      m.seed, m.strength, m.scoreA, m.scoreB, m.kicks, m.tackles, m.throwIns,
                      m.corners, m.goalKicks, posA * 100, posB * 100,
                      static_cast<long long>(m.frames), m.finished ? "" : " (unfinished)");
    }
}
