// The match screen: scene, head-up display, goal celebration, half time, game
// over, the message boxes and the camera follow. The parts that do not draw
// are separate functions so that the headless match driver runs the same flow.
#pragma once

#include <cstdint>

extern uint8_t messageShowing;
extern int32_t messageKind; // 1 game over, 2 first half, 3 second half
extern float messageTimer;
extern float matchClock; // clock seconds left
extern float cameraX, cameraY, cameraDepth;

void drawMatchScreen();
void drawMessageBox();

// One frame of the goal celebration without its drawing (steps 1, 4 and 5):
// holds the kick-off, runs goalTimer down and, when it runs out, ends the
// celebration (music rule, resetForKickOff). Returns true in the frame it ends.
bool advanceGoalCelebration();
// Half time: at matchDuration / 2 + 1 clock seconds left in the first half.
void checkHalfTime();
// Game over: when the clock has run out.
void checkGameOver();
// The camera eases toward the box around both active players and the ball.
void followCamera();
