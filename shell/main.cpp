// The game's entry: start-up, the loop of one pass per displayed frame, shutdown.
#include <cstdio>

#include "platform/platform.h"
#include "shell/game.h"
#include "shell/timing.h"

int main() {
    if (!gameStartup(false, 0)) {
        std::fprintf(stderr, "soccer: no display: %s\n", platformError());
        return 1;
    }
    while (gameRunning) gamePass();
    gameShutdown();
    return 0;
}
