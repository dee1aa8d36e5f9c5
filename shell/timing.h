// Frame timing and the per-pass work of the main loop that does not draw: the
// shell's timers and the gates that decide which simulation steps run.
#pragma once

#include <cstdint>

#include "match/state.h" // frameScale

// The title scroller and the mascot's swing, advanced while the title shows.
struct TitleScroller {
    int32_t scrollPos = 0;
    float scrollFrac = 0;
    float titlePhase = 640.0f;
};
extern TitleScroller titleScroller;

// Every field with its name, in the order the state dumps list them.
template <class Visit> void forEachField(TitleScroller& s, Visit&& v) {
    v("scrollPos", s.scrollPos);
    v("scrollFrac", s.scrollFrac);
    v("titlePhase", s.titlePhase);
}

constexpr int32_t scrollLength = 380; // length of the scroll text minus 20

// Steps 1 and 2 of a pass: frameScale from two readings of the wrapping
// millisecond counter (the unsigned difference survives a wrap).
float frameScaleFor(uint32_t previousMs, uint32_t nowMs);

// Steps 6 to 10 of a pass, after the frame was drawn: the computer's delay,
// the title scroller, the match clock and the message timer run down, then the
// simulation steps run as the flags allow.
void runPassAfterDraw();
