#include "shell/game.h"

#include "audio/stream.h"
#include "match/random.h"
#include "match/state.h"
#include "platform/platform.h"
#include "render/device.h"
#include "render/procedural.h"
#include "render/scene.h"
#include "render/transform.h"
#include "shell/display.h"
#include "shell/options.h"
#include "shell/replay.h"
#include "shell/screens.h"
#include "shell/timing.h"

GameLoop gameLoop;

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
    platformDispatchOneMessage();
    frame();
    runPassAfterDraw();
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

void gamePassAgain() {
    runPass(runFrameWithoutDrawing, false);
}

void gameTurn() {
    if (platformPaused()) {
        gameLoop.pausedLastTurn = true;
        return;
    }
    if (gameLoop.pausedLastTurn)
        gameLoop.previousTimestamp = platformMilliseconds() - gameLoop.lastFrameMs;
    gameLoop.pausedLastTurn = false;
    gamePass();
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
