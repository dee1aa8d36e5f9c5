// The game's entry: the command line, start-up, the loop of one pass per
// displayed frame, shutdown.
#include <cstdio>
#include <iostream>
#include <string>

#include "platform/platform.h"
#include "shell/game.h"
#include "shell/launch.h"
#include "shell/online.h"
#include "shell/replay.h"

int main(int argc, char** argv) {
    LaunchOptions options;
    int status = parseLaunchOptions(argc, argv, options, std::cout, std::cerr);
    if (status >= 0) return status;
    platformSetDisplay(options.display);
    if (!options.replay.empty()) return playReplayInWindow(options.replay);
    if (!gameStartup(false, 0)) {
        std::fprintf(stderr, "soccer: no display: %s\n", platformError());
        return 1;
    }
    // Every match played is kept in the replay folder.
    std::string folder = replayFolder();
    if (options.host || !options.join.empty()) {
        int status = runOnline({options.host, options.port, options.join}, folder);
        gameShutdown();
        return status;
    }
    if (!folder.empty()) replayRecorderStart(saveReplayInFolder, &folder);
    gameRun();
    replayRecorderStop();
    gameShutdown();
    return 0;
}
