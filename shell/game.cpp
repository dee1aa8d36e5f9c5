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

uint32_t previousTimestamp;
// The last pass's length: the first pass after a pause is taken to be as long.
static uint32_t lastFrameMs;
// The last turn of the loop ran no pass.
static bool pausedLastTurn;
uint32_t startupSeed;

bool gameStartup(bool fixedSeed, uint32_t seed) {
    platformHidePointer();
    platformSetWindowProcedure(windowProcedure);
    if (!platformCreateWindow("TORVELUN SOCCER", "SOCCER")) return false;
    createGraphics();
    setupRenderStates();
    // The pointer's display count goes down twice and never up again.
    platformHidePointer();
    startupSeed = fixedSeed ? seed : platformMilliseconds();
    seedRandom(startupSeed);
    // Grass, ring and markings, the ten kits, the bitmap textures in their
    // order, then the HUD panel.
    makeStartupTextures(teamColourTable);
    loadSongs();
    setCamera(cameraX, cameraY, cameraDepth);
    updateView();
    frameScale = 1.0f;
    previousTimestamp = platformMilliseconds();
    pausedLastTurn = false;
    return true;
}

static void runPass(void (*frame)()) {
    replayPassBegins();
    // Two readings: the next frame is measured from the second one.
    uint32_t now = platformMilliseconds();
    frameScale = frameScaleFor(previousTimestamp, now);
    lastFrameMs = now - previousTimestamp;
    previousTimestamp = platformMilliseconds();
    // A pad's Start picks the match on the title and goes on everywhere else.
    platformSetPadStartKeys(titleActive ? VK_F1 : VK_SPACE, titleActive ? VK_F2 : VK_SPACE);
    platformDispatchOneMessage();
    frame();
    runPassAfterDraw();
    replayPassEnds();
}

void gamePass() {
    runPass(drawFrame);
}

// No match runs on the boot screen, so a pass without drawing has no part
// there; the camera is the view's, which nothing but the drawing reads.
static void runFrameWithoutDrawing() {
    if (bootActive || titleActive) return;
    runMatchScreenHeadless();
}

void gamePassWithoutDrawing() {
    runPass(runFrameWithoutDrawing);
}

void gameTurn() {
    if (platformPaused()) {
        pausedLastTurn = true;
        return;
    }
    if (pausedLastTurn) previousTimestamp = platformMilliseconds() - lastFrameMs;
    pausedLastTurn = false;
    gamePass();
}

void gameRun() {
    while (gameRunning) gameTurn();
}

void gameShutdown() {
    freeSongs();
    releaseGraphics();
    if (platformHasWindow()) platformDrainMessages();
    platformShutdown();
}

void gameResetState() {
    frameScale = 1.0f;
    gameRunning = 1;
    scrollFrac = 0;
    scrollPos = 0;
    titlePhase = 640.0f;
    bootActive = 1;
    bootTime = 0;
    titleActive = 0;
    bootBorderColour = 0xA397FF;
    bootScreenColour = 0x4F44D8;
    messageShowing = 0;
    messageKind = MessageNone;
    messageTimer = 0;
    matchClock = 0;
    cameraX = cameraY = 0;
    cameraDepth = StartCameraDepth;
    soundOn = 1;
    matchDuration = 90;
    for (int k = 0; k < 4; k++) teamColour[k] = k;
    match = MatchState{};
    match.computerStrength = 60;
}
