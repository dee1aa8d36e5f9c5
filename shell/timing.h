// Frame timing and the per-pass work of the main loop that does not draw: the
// shell's timers and the gates that decide which simulation steps run.
#pragma once

#include <cstdint>

#include "match/state.h" // frameScale
extern uint8_t gameRunning;

// The title scroller and the mascot's swing, advanced while the title shows.
extern float scrollFrac;
extern int32_t scrollPos;
extern int32_t scrollLength; // length of the scroll text minus 20
extern float titlePhase;

// Steps 1 and 2 of a pass: frameScale from two readings of the wrapping
// millisecond counter (the unsigned difference survives a wrap).
float frameScaleFor(uint32_t previousMs, uint32_t nowMs);

// Steps 6 to 10 of a pass, after the frame was drawn: the computer's delay,
// the title scroller, the match clock and the message timer run down, then the
// simulation steps run as the flags allow.
void runPassAfterDraw();
