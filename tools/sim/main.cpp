// soccer-sim: plays whole matches without a window and prints what happened.
#include <cstdio>

#include "tools/sim/args.h"

int main(int argc, char** argv) {
    SimSettings settings;
    char error[256];
    if (!parseSimArguments(argc, argv, &settings, error, sizeof error)) {
        std::fprintf(stderr, "soccer-sim: %s\n", error);
        return 2;
    }
    int wonA = 0, wonB = 0, goalsA = 0, goalsB = 0;
    long long frames = 0;
    for (int k = 0; k < settings.matches; k++) {
        DriverOptions o = settings.driver;
        o.seed = settings.driver.seed + uint32_t(k);
        MatchStats m = playMatch(o);
        char line[512];
        formatMatchLine(m, settings.json, line, sizeof line);
        std::printf("%s\n", line);
        wonA += m.scoreA > m.scoreB;
        wonB += m.scoreB > m.scoreA;
        goalsA += m.scoreA;
        goalsB += m.scoreB;
        frames += m.frames;
    }
    if (!settings.json) {
        std::printf("%d matches: team A won %d, team B won %d, %d drawn; goals A %d B %d; "
                    "%.0f frames per match\n",
                    settings.matches, wonA, wonB, settings.matches - wonA - wonB, goalsA, goalsB,
                    double(frames) / settings.matches);
    }
    return 0;
}
