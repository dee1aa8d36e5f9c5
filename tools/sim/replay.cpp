#include "tools/sim/replay.h"

#include <cinttypes>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "shell/driver.h"
#include "shell/netplay.h"
#include "shell/replay_file.h"
#include "shell/state_codec.h"
#include "shell/statistics.h"

static std::string hex64(uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, v);
    return text;
}

// The full-time statistics, as the game shows them after the final whistle.
static nlohmann::ordered_json statisticsJson() {
    nlohmann::ordered_json teams = nlohmann::ordered_json::object();
    for (int k = 0; k < 2; k++) {
        const TeamStatistics& t = matchStatistics.team[k];
        teams[k == 0 ? "teamA" : "teamB"] = {
            {"goals", t.goals},
            {"shots", t.shots},
            {"possession", possessionPercent(matchStatistics, k)},
            {"tackles", t.tackles},
            {"corners", t.corners},
            {"throwIns", t.throwIns},
        };
    }
    return teams;
}

int printReplayFigures(const char* path, bool json, uint32_t syncTest) {
    Replay replay;
    std::string why;
    if (!readReplayFile(path, replay, why)) {
        std::fprintf(stderr, "soccer-sim: %s: %s\n", path, why.c_str());
        return 1;
    }
    bool faithful = false;
    MatchStats m = playReplay(replay, &faithful, syncTest);
    if (m.parted) {
        std::fprintf(stderr, "soccer-sim: %s: sync test: %s\n", path, syncTestFailure().c_str());
        return 1;
    }
    std::vector<uint8_t> state(stateBytes());
    encodeState(state.data());
    uint64_t matchHash = hashBytes(state.data(), matchStateBytes());
    uint64_t stateHash = hashBytes(state.data(), hashedStateBytes());
    // It plays as recorded when it ends where the recording ended.
    bool asRecorded = faithful && stateHash == replay.endHash;
    double frames = m.frames > 0 ? double(m.frames) : 1.0;
    nlohmann::ordered_json j = {
        {"replay", path},
        {"gameVersion", replay.gameVersion},
        {"passes", m.frames},
        {"scoreA", m.scoreA},
        {"scoreB", m.scoreB},
        {"kicks", m.kicks},
        {"tackles", m.tackles},
        {"throwIns", m.throwIns},
        {"corners", m.corners},
        {"goalKicks", m.goalKicks},
        {"possessionA", double(m.framesA) / frames},
        {"possessionB", double(m.framesB) / frames},
        {"finished", bool(m.finished)},
        {"matchStateHash", hex64(matchHash)},
        {"stateHash", hex64(stateHash)},
        {"asRecorded", asRecorded},
        {"statistics", statisticsJson()},
    };
    if (json) {
        std::printf("%s\n", j.dump().c_str());
        return 0;
    }
    std::printf("%s: A %d - %d B, kicks %d, tackles %d, throw-ins %d, corners %d, goal kicks %d, "
                "%lld passes%s; MatchState hash %s%s\n",
                path, m.scoreA, m.scoreB, m.kicks, m.tackles, m.throwIns, m.corners, m.goalKicks,
                static_cast<long long>(m.frames), m.finished ? "" : " (unfinished)",
                hex64(matchHash).c_str(), asRecorded ? "" : " (plays otherwise than recorded)");
    return 0;
}
