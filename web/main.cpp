// The game's entry in a web browser. The page's animation frames are the
// turns of the main loop: the browser calls once per displayed frame, as the
// desktop's presentation waits for the retrace. While the page has no focus
// (another window or tab in front) no pass runs, as in the desktop's window,
// and the first pass after it measures one ordinary frame, not the time
// away. ESC on the title ends the game as on the desktop, and the page says so.
// The options are remembered and every match recorded (web/page_store.cpp).
// "Play online" hands the turns to the online part (web/online_page.cpp).
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include "platform/web/page.h"
#include "shell/game.h"
#include "shell/screens.h"
#include "web/online_page.h"
#include "web/page_store.h"

static EM_BOOL runTurn(double, void*) {
    if (pageReplayShowing()) {
        pageReplayTurn();
        return EM_TRUE;
    }
    if (pageOnline()) {
        pageOnlineTurn();
    } else {
        gameTurn();
    }
    pageSettingsKeep();
    if (screenFlow.gameRunning) return EM_TRUE;
    pageOnlineLeave();
    gameShutdown();
    webGameEnded();
    return EM_FALSE;
}

// The screen shown, for the page's touch controls and its wake lock: 0 the
// boot screen, 1 the title, 2 a match.
extern "C" EMSCRIPTEN_KEEPALIVE int webScreenShown() {
    if (screenFlow.bootActive) return 0;
    return screenFlow.titleActive ? 1 : 2;
}

int main() {
    // The test page starts the game itself (web/test_hooks.cpp).
    if (webIsTestPage()) return 0;
    gameStartup(false, 0);
    pageSettingsRestore();
    pageRecordMatches();
    emscripten_request_animation_frame_loop(runTurn, nullptr);
    return 0;
}
