#include "shell/timing.h"

#include <cmath>

#include "match/ball.h"
#include "match/events.h"
#include "match/players.h"
#include "match/state.h"
#include "shell/display.h"
#include "shell/keyboard.h"
#include "shell/options.h"
#include "shell/screens.h"

TitleScroller titleScroller;

float frameScaleFor(uint32_t previousMs, uint32_t nowMs) {
    // Unsigned: a wrap of the counter gives the true small difference. The
    // tiny offsets keep a same-millisecond frame above zero.
    double dt = nowMs - previousMs;
    constexpr double tiny = 0.000001f;
    return float(double(80.0f) / (double(1000.0f) / (dt + tiny) + tiny));
}

static void advanceTitleScroll(double fs) {
    TitleScroller& s = titleScroller;
    s.scrollFrac = float(s.scrollFrac + double(1.5f) * fs);
    if (s.scrollFrac >= 16.0f) {
        // All whole characters at once; exact wherever subtracting 16 one at a
        // time would be, and no endless loop after an absurd stall.
        double cells = std::floor(s.scrollFrac / 16.0);
        s.scrollFrac = float(s.scrollFrac - cells * 16.0);
        s.scrollPos = int32_t(s.scrollPos + cells);
    }
    if (s.scrollPos > scrollLength) s.scrollPos = 0;
    s.titlePhase = float(s.titlePhase - double(1.5f) * fs);
}

void runPassAfterDraw() {
    const double fs = frameScale;
    if (match.computerDelay > 0)
        match.computerDelay = float(match.computerDelay - double(0.01f) * fs);

    if (screenFlow.titleActive) {
        advanceTitleScroll(fs);
    } else {
        // The clock stands still while a goalkeeper holds the ball.
        if (!matchScreen.messageShowing && match.playState == InPlay &&
            !isGoalkeeper(match.ballOwner))
            matchScreen.matchClock = float(matchScreen.matchClock - double(0.01f) * fs);
        if (matchScreen.messageShowing)
            matchScreen.messageTimer = float(matchScreen.messageTimer - double(0.01f) * fs);
    }

    // The match's sounds and music rule wait for the end of its steps.
    matchEvents.clear();
    if (!match.goalScored && !screenFlow.titleActive && match.playState != KickOff &&
        !matchScreen.messageShowing) {
        stepPlayers();
        stepKeyboard();
        stepBall();
    }
    // A pending kick-off: the kicker's side starts it from the keyboard.
    if (match.playState == KickOff && match.ballOwner != -1) {
        stepBall();
        stepKeyboard();
    }
    carryOutMatchEvents();
}
