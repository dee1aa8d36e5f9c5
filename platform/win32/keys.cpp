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

bool backendHeldKeys(uint8_t keys[256]) {
    if (!win32Window()) return false;
    std::memset(keys, 0, 256);
    BYTE held[256];
    if (!GetKeyboardState(held)) return true;
    for (int vk = 1; vk < 256; vk++) {
        int key = win32GameKey(vk);
        if ((held[vk] & 0x80) && key) keys[key] = 0x80;
    }
    return true;
}
