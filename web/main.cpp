// The game's entry in a web browser. The page's animation frames are the
// passes of the main loop: the browser calls once per displayed frame, as the
// desktop's presentation waits for the retrace. While the page has no focus
// (another window or tab in front) no pass runs, and the first pass after it
// measures one ordinary frame, not the time away. ESC on the title ends the
// game as on the desktop, and the page says so.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include "platform/platform.h"
#include "platform/web/page.h"
#include "platform/web/web_platform.h"
#include "shell/game.h"
#include "shell/timing.h"

static uint32_t lastPassMs = 16; // what the last pass measured

static EM_BOOL runPass(double, void*) {
    if (webPaused()) {
        if (!webTakeResume()) return EM_TRUE;
        previousTimestamp = platformMilliseconds() - lastPassMs;
    }
    lastPassMs = platformMilliseconds() - previousTimestamp;
    gamePass();
    if (gameRunning) return EM_TRUE;
    gameShutdown();
    webGameEnded();
    return EM_FALSE;
}

int main() {
    // The test page starts the game itself (web/test_hooks.cpp).
    if (webIsTestPage()) return 0;
    gameStartup(false, 0);
    emscripten_request_animation_frame_loop(runPass, nullptr);
    return 0;
}
