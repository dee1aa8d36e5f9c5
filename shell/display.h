// The match screen: scene, head-up display, goal celebration, half time, game
// over, the message boxes and the camera follow. The parts that do not draw
// are separate functions so that the headless match driver runs the same flow.
#pragma once

#include <cstdint>

#include "match/state.h" // FieldRange

// The box a match shows, in messageKind.
enum MessageKind : int32_t {
    MessageNone = 0,
    MessageGameOver = 1,
    MessageFirstHalf = 2,
    MessageSecondHalf = 3,
};

// The match's message box and clock: the new-match reset sets them all.
struct MatchScreen {
    uint8_t messageShowing = 0;
    int32_t messageKind = MessageNone; // MessageKind
    float messageTimer = 0;
    float matchClock = 0; // clock seconds left
};
extern MatchScreen matchScreen;

// Where the start-up camera stands, and so where the camera follow begins.
constexpr float StartCameraDepth = -0.2f;

// The camera follow's position. It lives for the whole program: a new match
// starts from wherever the last one left it.
struct CameraFollow {
    // Fix: the follow began at depth 0 while the start-up camera stands at
    // -0.2, so the view jumped by a fifth between the first two frames of the
    // first match; it now begins where the camera is.
    float cameraX = 0, cameraY = 0, cameraDepth = StartCameraDepth;
};
extern CameraFollow cameraFollow;

// Every field with its name and the values it may hold, in the order the
// state dumps list them.
template <class Visit> void forEachField(MatchScreen& s, Visit&& v) {
    v("messageShowing", s.messageShowing);
    v("messageKind", s.messageKind, FieldRange{MessageNone, MessageSecondHalf});
    v("messageTimer", s.messageTimer);
    v("matchClock", s.matchClock);
}
template <class Visit> void forEachField(CameraFollow& c, Visit&& v) {
    v("cameraX", c.cameraX);
    v("cameraY", c.cameraY);
    v("cameraDepth", c.cameraDepth);
}

void drawMatchScreen();
// A word the match screen writes large at its foot while it is set ("REPLAY").
extern const char* matchScreenCaption;
// The scene: grass, markings, rings, the players posed as drawn, ball, goals.
void drawMatchScene();
void drawMessageBox();
// The message box over the last frame drawn, with `text` where a match's box
// names the half and `second` where it says READY, presented at once; the
// game's state, the device's states and the next frame are left as they were
// (the pause, the end of a replay).
void drawBoxOverFrame(const char* text, const char* second);

// One frame of the goal celebration without its drawing (steps 1, 4 and 5):
// holds the kick-off, runs goalTimer down and, when it runs out, ends the
// celebration (music rule, resetForKickOff). Returns true in the frame it ends.
bool advanceGoalCelebration();
// Half time: at matchDuration / 2 + 1 clock seconds left in the first half.
void checkHalfTime();
// Game over: when the clock has run out.
void checkGameOver();
// The shot bar cuts a charge that overran full back to 0.02.
void clampShotCharge();
// The match screen's rules, in one place for drawn and headless frames: the
// celebration, or the charge clamp, half time and game over. Returns true in
// the frame the celebration ends.
bool runMatchScreenRules();
// Everything the match screen does to the match, without drawing: the players
// posed as drawn, then its rules. Headless matches run it in place of
// drawMatchScreen.
void runMatchScreenHeadless();
// The camera eases toward the box around both active players and the ball.
void followCamera();
