// The page's side of the browser backend, written in JavaScript
// (platform/web/library.js): the clock's origin, the canvas and Web Audio.
#pragma once

#include <cstdint>

extern "C" {
// The epoch time at which the page's monotonic clock started, in ms.
double webClockOrigin();
// Shows the 640 x 480 RGBA frame on the canvas "screen", enlarged `multiple`
// times with nearest-neighbour sampling.
void webShowFrame(const uint32_t* rgba, int multiple);
// Makes the page's audio context and the node that pulls blocks from
// webAudioRender; false where the browser has no Web Audio. The context
// stays suspended until webAudioResume, which a key press calls.
int webAudioCreate(int frameRate, int nodeFrames);
void webAudioResume();
// Holds the sound where it is while the game is paused, and lets it go on.
void webAudioHold(int hold);
}

extern "C" {
// The page was opened as the test page (index.html?test): the game waits for
// the test's calls instead of starting on its own.
int webIsTestPage();
// The game has ended (ESC on the title): the page says so.
void webGameEnded();

// The options remembered in the browser's storage, `count` numbers into
// `values`; false when none are (a first visit, or no storage).
int webLoadSettings(int* values, int count);
void webSaveSettings(const int* values, int count);
// A match recorded: the page keeps its replay file (the newest 50).
void webKeepReplay(const uint8_t* file, int size);
// The replay that played in place of the game has ended.
void webReplayEnded();
}
