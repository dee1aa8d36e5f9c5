// The system's keys and clock as the game reads them. The window procedure
// gets real virtual-key codes, so little needs mapping.
#include <cstring>

#include "platform/win32/win32_backend.h"
// (after windows.h)
#include <mmsystem.h>

// The multimedia timer: milliseconds since the system started, wrapping
// after 49.7 days as the game expects.
uint32_t backendMilliseconds() {
    return timeGetTime();
}

int win32GameKey(int vk) {
    switch (vk) {
    case VK_LBUTTON:
    case VK_RBUTTON:
    case VK_MBUTTON:
    case VK_XBUTTON1:
    case VK_XBUTTON2:
        return 0;
    case VK_LCONTROL:
    case VK_RCONTROL:
        return VK_CONTROL;
    case VK_LSHIFT:
    case VK_RSHIFT:
        return VK_SHIFT;
    case VK_LMENU:
    case VK_RMENU:
        return VK_MENU;
    default:
        return vk & 0xFF;
    }
}

bool win32IsFullScreenSwitch(WPARAM vk, LPARAM flags) {
    // Bit 29: Alt is held; bit 30: the key was down already (a repeat).
    return vk == VK_RETURN && (flags & (1 << 29)) && !(flags & (1 << 30));
}

// Set-1 scan codes 0x00 to 0x58 as USB HID usage ids; then the extended keys
// that differ (arrows, right CTRL and Alt, the keypad's Enter and slash).
static constexpr uint8_t hidOfSet1[0x59] = {
    0,    0x29, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x2D, 0x2E, 0x2A,
    0x2B, 0x14, 0x1A, 0x08, 0x15, 0x17, 0x1C, 0x18, 0x0C, 0x12, 0x13, 0x2F, 0x30, 0x28, 0xE0,
    0x04, 0x16, 0x07, 0x09, 0x0A, 0x0B, 0x0D, 0x0E, 0x0F, 0x33, 0x34, 0x35, 0xE1, 0x31, 0x1D,
    0x1B, 0x06, 0x19, 0x05, 0x11, 0x10, 0x36, 0x37, 0x38, 0xE5, 0x55, 0xE2, 0x2C, 0x39, 0x3A,
    0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x53, 0x47, 0x5F, 0x60, 0x61, 0x56,
    0x5C, 0x5D, 0x5E, 0x57, 0x59, 0x5A, 0x5B, 0x62, 0x63, 0,    0,    0x64, 0x44, 0x45};

static int extendedHid(int set1) {
    switch (set1) {
    case 0x1C:
        return 0x58; // keypad Enter
    case 0x1D:
        return 0xE4; // right CTRL
    case 0x35:
        return 0x54; // keypad slash
    case 0x38:
        return 0xE6; // right Alt
    case 0x47:
        return 0x4A; // Home
    case 0x48:
        return 0x52; // up
    case 0x49:
        return 0x4B; // Page Up
    case 0x4B:
        return 0x50; // left
    case 0x4D:
        return 0x4F; // right
    case 0x4F:
        return 0x4D; // End
    case 0x50:
        return 0x51; // down
    case 0x51:
        return 0x4E; // Page Down
    case 0x52:
        return 0x49; // Insert
    case 0x53:
        return 0x4C; // Delete
    default:
        return 0;
    }
}

static int hidOf(int set1, bool extended) {
    if (extended) return extendedHid(set1);
    return set1 < int(sizeof hidOfSet1) ? hidOfSet1[set1] : 0;
}

int win32Scancode(LPARAM flags) {
    return hidOf(int((flags >> 16) & 0xFF), (flags >> 24) & 1);
}

// The place of the held key `vk` (the system's left and right variants, as
// GetKeyboardState tells them apart).
static int heldKeyScancode(int vk) {
    UINT scan = MapVirtualKeyW(UINT(vk), 4 /* MAPVK_VK_TO_VSC_EX */);
    return hidOf(int(scan & 0xFF), (scan & 0xFF00) == 0xE000);
}

bool backendHeldKeys(uint8_t keys[256]) {
    if (!win32Window()) return false;
    std::memset(keys, 0, 256);
    BYTE held[256];
    if (!GetKeyboardState(held)) return true;
    for (int vk = 1; vk < 256; vk++) {
        // The plain CTRL, SHIFT and Alt stand for their left and right keys.
        if (vk == VK_CONTROL || vk == VK_SHIFT || vk == VK_MENU) continue;
        int key = win32GameKey(vk);
        if (!(held[vk] & 0x80) || !key) continue;
        int bound = boundLayoutKey(heldKeyScancode(vk), key);
        // A letter of the layout that a binding took holds nothing.
        if (bound != VK_OTHER || !keyCodeIsBound(key)) keys[bound] = 0x80;
    }
    return true;
}
