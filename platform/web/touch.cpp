// The touch screen's controls, which the page draws and reads (index.html):
// a stick and a shoot button that hold player 1's keys as a pad does, a tap
// on the picture that stands for a pad's Start, and the menu's option keys.
// Every touch is also the gesture after which the browser lets the page sound.
#include <emscripten/emscripten.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/web/page.h"
#include "platform/web/web_platform.h"

namespace {

uint8_t touchHeld[256];

// The keys the menu may send: the title's options and ESC.
bool menuKey(int vk) {
    return (vk >= VK_F1 && vk <= VK_F9) || vk == VK_ESCAPE || vk == VK_SPACE;
}

} // namespace

extern "C" {

// The stick at (x, y) in units of its radius, y downward, and whether the
// shoot button is held.
EMSCRIPTEN_KEEPALIVE void webTouchControls(double x, double y, int shoot) {
    uint8_t held[256];
    webPadHeldKeys(webTouchStickReading(x, y, shoot != 0), 0, held);
    for (int vk = 0; vk < 256; vk++)
        if (held[vk] != touchHeld[vk]) webTouchKey(vk, held[vk] != 0);
    std::memcpy(touchHeld, held, sizeof held);
    webAudioResume();
}

// A tap on the picture: what Start on player 1's pad is on the screen shown
// (one player on the title, otherwise going on as SPACE does).
EMSCRIPTEN_KEEPALIVE void webTouchTap() {
    const int vk = webPadStartKey(0);
    webTouchKey(vk, true);
    webTouchKey(vk, false);
    webAudioResume();
}

// One of the menu's choices, as its key.
EMSCRIPTEN_KEEPALIVE void webTouchMenuKey(int vk) {
    if (!menuKey(vk)) return;
    webTouchKey(vk, true);
    webTouchKey(vk, false);
    webAudioResume();
}

} // extern "C"

// Without the focus no key-up comes: everything the controls held is let go.
void webReleaseTouchKeys() {
    std::memset(touchHeld, 0, sizeof touchHeld);
}
