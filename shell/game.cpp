#include "shell/game.h"

#include <cstdio>

#include "audio/stream.h"
#include "match/random.h"
#include "match/state.h"
#include "platform/platform.h"
#include "render/device.h"
#include "render/procedural.h"
#include "render/scene.h"
#include "render/transform.h"
#include "shell/controls.h"
#include "shell/display.h"
#include "shell/instant_replay.h"
#include "shell/options.h"
#include "shell/replay.h"
#include "shell/screens.h"
#include "shell/statistics.h"
#include "shell/timing.h"

GameLoop gameLoop;
bool pauseOffered = true;

bool gameStartup(bool fixedSeed, uint32_t seed) {
    platformHidePointer();
    platformSetWindowProcedure(windowProcedure);
    if (!platformCreateWindow("TORVELUN SOCCER", "SOCCER")) return false;
    createGraphics();
    setupRenderStates();
    // The pointer's display count goes down twice and never up again.
    platformHidePointer();
    gameLoop.startupSeed = fixedSeed ? seed : platformMilliseconds();
    seedRandom(gameLoop.startupSeed);
    // Grass, ring and markings, the ten kits, the bitmap textures in their
    // order, then the HUD panel.
    makeStartupTextures(teamColourTable);
    loadSongs();
    setCamera(cameraFollow.cameraX, cameraFollow.cameraY, cameraFollow.cameraDepth);
    updateView();
    frameScale = 1.0f;
    gameLoop.previousTimestamp = platformMilliseconds();
    gameLoop.pausedLastTurn = false;
    return true;
}

static void runPass(void (*frame)(), bool replayHooks = true) {
    if (replayHooks) replayPassBegins();
    // Two readings: the next frame is measured from the second one.
    uint32_t now = platformMilliseconds();
    frameScale = frameScaleFor(gameLoop.previousTimestamp, now);
    gameLoop.lastFrameMs = now - gameLoop.previousTimestamp;
    gameLoop.previousTimestamp = platformMilliseconds();
    // A pad's Start picks the match on the title and goes on everywhere else.
    platformSetPadStartKeys(screenFlow.titleActive ? VK_F1 : VK_SPACE,
                            screenFlow.titleActive ? VK_F2 : VK_SPACE);
    // A match may pause; the boot and title screens have nothing to hold.
    const bool inMatch = pauseOffered && !screenFlow.bootActive && !screenFlow.titleActive;
    platformSetPauseKeys(inMatch ? controls.pauseKey : 0, inMatch ? controls.padPause : PadNone);
    platformDispatchOneMessage();
    frame();
    runPassAfterDraw();
    if (!screenFlow.bootActive && !screenFlow.titleActive) statisticsTally();
    if (replayHooks) replayPassEnds();
}

void gamePass() {
    runPass(drawFrame);
}

// No match runs on the boot screen, so a pass without drawing has no part
// there; the camera is the view's, which nothing but the drawing reads.
static void runFrameWithoutDrawing() {
    if (screenFlow.bootActive || screenFlow.titleActive) return;
    runMatchScreenHeadless();
}

void gamePassWithoutDrawing() {
    runPass(runFrameWithoutDrawing);
}

void showPaused() {
    // The focus may go while the boot screen shows; there is no match to hold.
    if (!graphics.created || screenFlow.bootActive) return;
    char name[16], line[48] = "";
    if (platformPauseCause() == PauseCause::Key) {
        std::snprintf(line, sizeof line, "PRESS %s TO PLAY ON",
                      scancodeName(controls.pauseKey, name));
    }
    drawBoxOverFrame("PAUSED", line);
}

void gamePassAgain() {
    runPass(runFrameWithoutDrawing, false);
}

void gameTurn() {
    if (platformPaused()) {
        if (!gameLoop.pausedLastTurn) showPaused();
        gameLoop.pausedLastTurn = true;
        return;
    }
    // The instant replay holds the match as a pause does; the keys pressed
    // meanwhile wait for the passes after it (no more than five seconds).
    if (instantReplayShowing()) {
        instantReplayTurn();
        gameLoop.pausedLastTurn = true;
        return;
    }
    if (gameLoop.pausedLastTurn)
        gameLoop.previousTimestamp = platformMilliseconds() - gameLoop.lastFrameMs;
    gameLoop.pausedLastTurn = false;
    gamePass();
    instantReplayKeep(gameLoop.lastFrameMs);
}

void gameRun() {
    while (screenFlow.gameRunning) gameTurn();
}

void gameShutdown() {
    freeSongs();
    releaseGraphics();
    if (platformHasWindow()) platformDrainMessages();
    platformShutdown();
}

void gameResetState() {
    frameScale = 1.0f;
    screenFlow = ScreenFlow{};
    titleScroller = TitleScroller{};
    matchScreen = MatchScreen{};
    cameraFollow = CameraFollow{};
    options = GameOptions{};
    match = MatchState{};
}
