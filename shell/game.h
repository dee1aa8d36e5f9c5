// The game's life: start-up in its fixed order, one pass of the loop per
// displayed frame, shutdown. The game `soccer` and soccer-snapshot share it.
#pragma once

#include <cstdint>

// What the loop keeps from pass to pass. Start-up sets it; the state reset of
// gameResetState leaves it.
struct GameLoop {
    // The millisecond reading that the next pass measures its frame from.
    uint32_t previousTimestamp = 0;
    // The last pass's length: the first pass after a pause is taken to be as long.
    uint32_t lastFrameMs = 0;
    bool pausedLastTurn = false; // the last turn of the loop ran no pass
    // What start-up seeded the random generator with (the grass texture follows it).
    uint32_t startupSeed = 0;
    // How many new-match resets there have been: a pass that changes it starts
    // a match (and a replay).
    uint32_t newMatchCount = 0;
};
extern GameLoop gameLoop;

// Whether the pause key may pause a match: a network match clears it, as one
// side alone must not stop. (A lost focus still pauses the platform layer.)
extern bool pauseOffered;

// Brings up the window, the device, the textures, the songs and the camera.
// The random generator is seeded from the millisecond timer, or with `seed`
// when `fixedSeed` is set. False when there is no display to open a window on.
bool gameStartup(bool fixedSeed, uint32_t seed);
// One displayed frame: measure it, one message, draw, timers and simulation.
void gamePass();
// Passes while `gameRunning` is set. A window without the focus runs none; the
// first pass after such a pause is measured as long as the one before it, not
// as the time the pause took.
void gameRun();
// One turn of gameRun's loop: a pass, or none while paused. (The browser calls
// it once a displayed frame.)
void gameTurn();
// The message box says PAUSED over the last frame (the first turn of a pause).
void showPaused();
// The same pass with everything the drawing does to the match and the
// shell's flow (the match screen's rules), without the pixels and the camera
// (headless matches, replays).
void gamePassWithoutDrawing();
// A pass run again after a rollback: as gamePassWithoutDrawing, but neither a
// recording nor a playback sees it (it is no new pass of theirs).
void gamePassAgain();
// Frees the songs, releases the graphics and drains the pending messages.
void gameShutdown();

// Puts the shell's records (but for gameLoop) and the match record back to
// their program-start values (for runs of several games in one process).
void gameResetState();
