// The frame driver: picks the boot, title or match screen from the flow flags,
// draws the boot and title screens and owns the flow between screens.
#pragma once

#include <cstdint>

extern uint8_t bootActive;
extern float bootTime;
extern uint8_t titleActive;
extern uint32_t bootBorderColour;
extern uint32_t bootScreenColour;

extern const char* const bootLines[3];
extern const char scrollText[401]; // 400 characters
extern const char* const creditsTable[10];

void drawFrame(); // clear, one screen, present
void drawBootScreen();
void drawTitleScreen();
