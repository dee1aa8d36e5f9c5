// The frame driver: picks the boot, title or match screen from the flow flags,
// draws the boot and title screens and owns the flow between screens.
#pragma once

#include <cstdint>

// Which screen shows and whether the program goes on: from the boot screen to
// the title and matches, for the whole program.
struct ScreenFlow {
    uint8_t bootActive = 1;
    float bootTime = 0;
    uint8_t titleActive = 0;
    uint8_t gameRunning = 1; // the main loop runs while it is set
    uint32_t bootBorderColour = 0xA397FF;
    uint32_t bootScreenColour = 0x4F44D8;
};
extern ScreenFlow screenFlow;

// Every field with its name, in the order the state dumps list them.
template <class Visit> void forEachField(ScreenFlow& f, Visit&& v) {
    v("bootActive", f.bootActive);
    v("bootTime", f.bootTime);
    v("titleActive", f.titleActive);
    v("gameRunning", f.gameRunning);
    v("bootBorderColour", f.bootBorderColour);
    v("bootScreenColour", f.bootScreenColour);
}

extern const char* const bootLines[3];
extern const char scrollText[401]; // 400 characters
extern const char* const creditsTable[10];

void drawFrame(); // clear, one screen, present
void drawBootScreen();
void drawTitleScreen();
