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
#include "shell/screens.h"
#include "shell/settings.h"

int main(int argc, char** argv) {
    LaunchOptions options;
    int status = parseLaunchOptions(argc, argv, options, std::cout, std::cerr);
    if (status >= 0) return status;
    platformSetDisplay(options.display);
    // The settings come first: they hold the window's shape and the keys.
    settingsStart(options.resetSettings, {options.windowGiven, options.display.windowed,
                                          options.scaleGiven, options.display.scale});
    if (!options.replay.empty()) return playReplayInWindow(options.replay);
    if (!gameStartup(false, 0)) {
        std::fprintf(stderr, "soccer: no display: %s\n", platformError());
        return 1;
    }
    // Every match played is kept in the replay folder.
    std::string folder = replayFolder();
    if (options.host || !options.join.empty() || !options.relay.empty()) {
        int status = runOnline({options.host, options.port, options.join, options.relay}, folder);
        gameShutdown();
        return status;
    }
    if (!folder.empty()) replayRecorderStart(saveReplayInFolder, &folder);
    while (screenFlow.gameRunning) {
        gameTurn();
        settingsKeep();
    }
    replayRecorderStop();
    gameShutdown();
    return 0;
}
