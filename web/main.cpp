// The game's entry in a web browser. The page's animation frames are the
// turns of the main loop: the browser calls once per displayed frame, as the
// desktop's presentation waits for the retrace. While the page has no focus
// (another window or tab in front) no pass runs, as in the desktop's window,
// and the first pass after it measures one ordinary frame, not the time
// away. ESC on the title ends the game as on the desktop, and the page says so.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include "platform/web/page.h"
#include "shell/game.h"
#include "shell/screens.h"

static EM_BOOL runTurn(double, void*) {
    gameTurn();
    if (screenFlow.gameRunning) return EM_TRUE;
    gameShutdown();
    webGameEnded();
    return EM_FALSE;
}

int main() {
    // The test page starts the game itself (web/test_hooks.cpp).
    if (webIsTestPage()) return 0;
    gameStartup(false, 0);
    emscripten_request_animation_frame_loop(runTurn, nullptr);
    return 0;
}
