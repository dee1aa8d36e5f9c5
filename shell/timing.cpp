#include "shell/timing.h"

float frameScale = 1.0f;
uint8_t gameRunning = 1;
float scrollFrac;
int32_t scrollPos;
int32_t scrollLength = 380;
float titlePhase = 640.0f;

// Filled in with the frame timing.
float frameScaleFor(uint32_t, uint32_t) { return 1.0f; }
void runPassAfterDraw() {}
