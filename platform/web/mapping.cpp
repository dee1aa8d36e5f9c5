// What the browser's names and sizes become: key names to virtual-key codes,
// a gamepad's buttons and stick to held keys, and the canvas's whole multiple.
// Plain code without emscripten, so that the desktop's tests check it too.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "platform/platform.h"
#include "platform/web/web_platform.h"

struct NamedKey {
    const char* name;
    int vk;
};

// The browser's names of the keys that have no printed character. A keypad
// arrow with Num Lock off is named like the arrow key and acts as one.
static const NamedKey namedKeys[] = {
    {"ArrowLeft", VK_LEFT},  {"ArrowRight", VK_RIGHT}, {"ArrowUp", VK_UP},  {"ArrowDown", VK_DOWN},
    {"Control", VK_CONTROL}, {"Shift", 0x10},          {"Alt", 0x12},       {"AltGraph", 0x12},
    {"Escape", VK_ESCAPE},   {"Enter", VK_RETURN},     {"Backspace", 0x08}, {"Tab", 0x09},
};

// The keypad's second meanings, with Num Lock off, as the desktop codes them.
static const NamedKey keypadKeys[] = {
    {"Home", 0x24},   {"End", 0x23},    {"PageUp", 0x21}, {"PageDown", 0x22},
    {"Insert", 0x2D}, {"Delete", 0x2E}, {"Clear", 0x0C},
};

static int namedKey(const NamedKey* table, size_t count, const char* key) {
    for (size_t i = 0; i < count; i++)
        if (std::strcmp(table[i].name, key) == 0) return table[i].vk;
    return VK_OTHER;
}

int webVirtualKey(const char* key, const char* code) {
    if (!key || !code) return VK_OTHER;
    const bool keypad = std::strncmp(code, "Numpad", 6) == 0;
    if (key[0] != 0 && key[1] == 0) {
        const char c = key[0];
        if (c >= 'a' && c <= 'z') return 'A' + (c - 'a');
        if (c >= 'A' && c <= 'Z') return c;
        // Keypad digits (Num Lock on) have codes of their own, as on the desktop.
        if (c >= '0' && c <= '9') return (keypad ? 0x60 : '0') + (c - '0');
        if (c == ' ') return VK_SPACE;
        return VK_OTHER;
    }
    if (key[0] == 'F' && key[1] >= '1' && key[1] <= '9') {
        int n = key[1] - '0';
        if (key[2] >= '0' && key[2] <= '9' && key[3] == 0) {
            n = n * 10 + key[2] - '0';
        } else if (key[2] != 0) {
            return VK_OTHER;
        }
        return n <= 12 ? VK_F1 + n - 1 : VK_OTHER;
    }
    if (keypad && namedKey(keypadKeys, std::size(keypadKeys), key) != VK_OTHER)
        return namedKey(keypadKeys, std::size(keypadKeys), key);
    return namedKey(namedKeys, std::size(namedKeys), key);
}

int webSharpMultiple(double cssWidth, double cssHeight, double pixelRatio) {
    const double scale = std::min(cssWidth / FrameWidth, cssHeight / FrameHeight) * pixelRatio;
    return std::max(1, int(std::lround(scale)));
}

void webPadHeldKeys(const WebPadReading& pad, int player, uint8_t held[256]) {
    std::memset(held, 0, 256);
    if (!pad.connected) return;
    // Player 1's pad holds the arrows and CTRL, player 2's W A S D and B.
    const bool first = player == 0;
    const int left = first ? VK_LEFT : 'A', right = first ? VK_RIGHT : 'D';
    const int up = first ? VK_UP : 'W', down = first ? VK_DOWN : 'S';
    constexpr double deadZone = 0.25;
    if (pad.left || pad.stickX < -deadZone) held[left] = 0x80;
    if (pad.right || pad.stickX > deadZone) held[right] = 0x80;
    if (pad.up || pad.stickY < -deadZone) held[up] = 0x80;
    if (pad.down || pad.stickY > deadZone) held[down] = 0x80;
    if (pad.south) held[first ? VK_CONTROL : 'B'] = 0x80;
}

WebPadReading webTouchStickReading(double x, double y, bool shoot) {
    WebPadReading r{};
    r.connected = true;
    r.south = shoot;
    constexpr double stillWithin = 0.25;
    if (!(x * x + y * y >= stillWithin * stillWithin)) return r; // NaN stays still too
    // Eight sectors: a component counts once it is over sin(22.5 degrees) of the length.
    const double length = std::sqrt(x * x + y * y), edge = 0.38268343236508978 * length;
    r.left = x < -edge;
    r.right = x > edge;
    r.up = y < -edge;
    r.down = y > edge;
    return r;
}
