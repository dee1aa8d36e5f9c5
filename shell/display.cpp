#include "shell/display.h"

#include "match/restarts.h"
#include "match/state.h"
#include "render/transform.h"
#include "shell/options.h"
#include "shell/timing.h"

uint8_t messageShowing;
int32_t messageKind;
float messageTimer;
float matchClock;
float cameraX, cameraY, cameraDepth;

bool advanceGoalCelebration() {
    match.playState = KickOff;
    match.ball.height = 0;
    match.goalTimer = static_cast<float>(match.goalTimer - double(0.005f) * frameScale);
    if (match.goalTimer > 0) return false;
    match.goalScored = 0;
    applyMusicRule();
    resetForKickOff();
    return true;
}

void checkHalfTime() {
    if (matchClock <= matchDuration / 2 + 1 && !match.secondHalf) {
        messageShowing = 1;
        messageKind = 3;
        messageTimer = 1.0f;
        match.endSign = -match.endSign;
        match.kickOffTeamB = 1;
        match.secondHalf = 1;
        resetForKickOff();
    }
}

void checkGameOver() {
    // messageTimer keeps its value: it is already below 0 from the second-half
    // box, so the game-over box opens in its READY phase.
    if (matchClock <= 0) {
        messageShowing = 1;
        messageKind = 1;
    }
}

// Filled in with the match display.
void drawMatchScreen() {}
void drawMessageBox() {}
void followCamera() {}
