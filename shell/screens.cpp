#include "shell/screens.h"

// Filled in with the screens.
uint8_t bootActive = 1;
float bootTime;
uint8_t titleActive;
uint32_t bootBorderColour = 0xA397FF;
uint32_t bootScreenColour = 0x4F44D8;
const char* const bootLines[3] = {"       **** COMMODORE 64 BASIC V2 ****",
                                  "    64K RAM SYSTEM  38911 BASIC BYTES FREE", "READY"};
const char scrollText[401] = "";
const char* const creditsTable[10] = {};

void drawFrame() {}
void drawBootScreen() {}
void drawTitleScreen() {}
