// soccer-sim: plays whole matches without a window and prints what happened,
// or plays a recorded match again.
#include <cstdio>
#include <string>
#include <vector>

#include "shell/netplay.h"
#include "shell/replay.h"
#include "tools/sim/args.h"
#include "tools/sim/replay.h"

static void saveToFile(const std::vector<uint8_t>& file, void* path) {
    std::string why;
    const char* p = static_cast<const char*>(path);
    if (!writeFileAtomically(p, file, why))
        std::fprintf(stderr, "soccer-sim: %s: %s\n", p, why.c_str());
}

int main(int argc, char** argv) {
    SimSettings settings;
    char error[256];
    if (!parseSimArguments(argc, argv, &settings, error, sizeof error)) {
        std::fprintf(stderr, "soccer-sim: %s (soccer-sim --help lists the options)\n", error);
        return 2;
    }
    if (settings.help) {
        std::fputs(simUsage, stdout);
        return 0;
    }
    if (settings.replay)
        return printReplayFigures(settings.replay, settings.json, settings.driver.syncTest);
    if (settings.record) {
        replayRecorderStart(saveToFile, const_cast<char*>(settings.record));
        settings.driver.record = 1;
    }
    int wonA = 0, wonB = 0, goalsA = 0, goalsB = 0;
    long long frames = 0;
    for (int k = 0; k < settings.matches; k++) {
        DriverOptions o = settings.driver;
        o.seed = settings.driver.seed + uint32_t(k);
        MatchStats m = playMatch(o);
        if (m.parted) {
            std::fprintf(stderr, "soccer-sim: seed %u: sync test: %s\n", o.seed,
                         syncTestFailure().c_str());
            return 1;
        }
        char line[512];
        formatMatchLine(m, settings.json, line, sizeof line);
        std::printf("%s\n", line);
        wonA += m.scoreA > m.scoreB;
        wonB += m.scoreB > m.scoreA;
        goalsA += m.scoreA;
        goalsB += m.scoreB;
        frames += m.frames;
    }
    replayRecorderStop();
    if (!settings.json) {
        std::printf("%d matches: team A won %d, team B won %d, %d drawn; goals A %d B %d; "
                    "%.0f frames per match\n",
                    settings.matches, wonA, wonB, settings.matches - wonA - wonB, goalsA, goalsB,
                    double(frames) / settings.matches);
    }
    return 0;
}
