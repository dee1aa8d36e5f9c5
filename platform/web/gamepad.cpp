// Gamepads through the browser's Gamepad API: the first pad connected plays
// as player 1 and the second as player 2; a pad connected later takes the
// first free player, and an unplugged pad lets go of every key it held.
#include <emscripten/html5.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/web/web_platform.h"

namespace {

struct PadSlot {
    bool taken;
    long index; // the browser's index of the pad
    uint8_t held[256];
    bool start, back;
};
PadSlot slots[2];

// The standard layout's buttons.
constexpr int buttonSouth = 0, buttonBack = 8, buttonStart = 9;
constexpr int buttonUp = 12, buttonDown = 13, buttonLeft = 14, buttonRight = 15;

bool button(const EmscriptenGamepadEvent& e, int b) {
    return b < e.numButtons && e.digitalButton[b];
}

WebPadReading readPad(const EmscriptenGamepadEvent& e) {
    WebPadReading r{};
    r.connected = e.connected;
    r.up = button(e, buttonUp);
    r.down = button(e, buttonDown);
    r.left = button(e, buttonLeft);
    r.right = button(e, buttonRight);
    r.stickX = e.numAxes > 0 ? e.axis[0] : 0;
    r.stickY = e.numAxes > 1 ? e.axis[1] : 0;
    r.south = button(e, buttonSouth);
    r.start = button(e, buttonStart);
    r.back = button(e, buttonBack);
    return r;
}

void releaseSlot(int player) {
    webReleasePadKeys(player);
    slots[player] = PadSlot{};
}

// A pad still there keeps its player; a new one takes the first free player.
void assignPads(int count) {
    EmscriptenGamepadEvent e;
    for (int p = 0; p < 2; p++) {
        if (!slots[p].taken) continue;
        if (emscripten_get_gamepad_status(int(slots[p].index), &e) != EMSCRIPTEN_RESULT_SUCCESS ||
            !e.connected)
            releaseSlot(p);
    }
    for (int i = 0; i < count; i++) {
        if (emscripten_get_gamepad_status(i, &e) != EMSCRIPTEN_RESULT_SUCCESS || !e.connected)
            continue;
        if ((slots[0].taken && slots[0].index == i) || (slots[1].taken && slots[1].index == i))
            continue;
        const int free = !slots[0].taken ? 0 : !slots[1].taken ? 1 : -1;
        if (free < 0) return;
        slots[free].taken = true;
        slots[free].index = i;
    }
}

// Start and Back send their key once, when pressed: Start what the screen
// shown makes it (F1 or F2 on the title, SPACE elsewhere), Back ESC.
void pressButton(int player, bool start, bool now, bool& before) {
    if (now && !before) {
        const int vk = start ? webPadStartKey(player) : VK_ESCAPE;
        webPadKey(player, vk, true);
        webPadKey(player, vk, false);
    }
    before = now;
}

void readSlot(int player) {
    EmscriptenGamepadEvent e;
    PadSlot& slot = slots[player];
    if (emscripten_get_gamepad_status(int(slot.index), &e) != EMSCRIPTEN_RESULT_SUCCESS) return;
    const WebPadReading r = readPad(e);
    uint8_t held[256];
    webPadHeldKeys(r, player, held);
    for (int vk = 0; vk < 256; vk++)
        if (held[vk] != slot.held[vk]) webPadKey(player, vk, held[vk] != 0);
    std::memcpy(slot.held, held, sizeof held);
    pressButton(player, true, r.start, slot.start);
    pressButton(player, false, r.back, slot.back);
}

} // namespace

void webPollGamepads() {
    if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return;
    assignPads(emscripten_get_num_gamepads());
    for (int p = 0; p < 2; p++)
        if (slots[p].taken) readSlot(p);
}
