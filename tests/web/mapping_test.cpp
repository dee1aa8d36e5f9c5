// The browser's key names become the virtual-key codes the desktop gives the
// same keys; a gamepad holds its player's keys; the canvas's whole multiple.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <vector>

#include "platform/platform.h"
#include "platform/web/web_platform.h"

TEST(WebMapping, KeysAsOnTheDesktop) {
    struct Case {
        const char* key;
        const char* code;
        SDL_Keycode sdl;
    } cases[] = {
        {"ArrowLeft", "ArrowLeft", SDLK_LEFT},
        {"ArrowUp", "ArrowUp", SDLK_UP},
        {"ArrowRight", "ArrowRight", SDLK_RIGHT},
        {"ArrowDown", "ArrowDown", SDLK_DOWN},
        {"Control", "ControlLeft", SDLK_LCTRL},
        {"Control", "ControlRight", SDLK_RCTRL},
        {"Escape", "Escape", SDLK_ESCAPE},
        {" ", "Space", SDLK_SPACE},
        {"Enter", "Enter", SDLK_RETURN},
        {"Enter", "NumpadEnter", SDLK_KP_ENTER},
        {"w", "KeyW", SDLK_w},
        {"W", "KeyW", SDLK_w}, // with SHIFT held
        {"b", "KeyB", SDLK_b},
        {"z", "KeyY", SDLK_z}, // a German layout
        {"7", "Digit7", SDLK_7},
        {"7", "Numpad7", SDLK_KP_7},
        {"0", "Numpad0", SDLK_KP_0},
        {"F1", "F1", SDLK_F1},
        {"F9", "F9", SDLK_F9},
        {"F10", "F10", SDLK_F10},
        {"F12", "F12", SDLK_F12},
        {"F13", "F13", SDLK_F13},
        {"Shift", "ShiftLeft", SDLK_LSHIFT},
        {"Alt", "AltLeft", SDLK_LALT},
        {"Tab", "Tab", SDLK_TAB},
        {"Backspace", "Backspace", SDLK_BACKSPACE},
        {"é", "Digit2", SDLK_UNKNOWN},
        {"Dead", "BracketLeft", SDLK_UNKNOWN},
        {"PageUp", "PageUp", SDLK_PAGEUP},
        {"F", "KeyF", SDLK_f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(webVirtualKey(c.key, c.code), platformVirtualKey(c.sdl))
            << c.key << " " << c.code;
    }
    // With Num Lock off the keypad's arrows are arrows; the desktop maps them so too.
    EXPECT_EQ(webVirtualKey("ArrowLeft", "Numpad4"), VK_LEFT);
    EXPECT_EQ(webVirtualKey("F0", "F0"), VK_OTHER);
    EXPECT_EQ(webVirtualKey("F1x", "F1"), VK_OTHER);
}

TEST(WebMapping, PadsHoldTheirPlayersKeys) {
    struct Case {
        WebPadReading pad;
        int player;
        std::vector<int> held;
    } cases[] = {
        {{true, true, false, false, false, 0, 0, false, false, false}, 0, {VK_UP}},
        {{true, false, false, false, true, 0, 0, true, false, false}, 1, {'B', 'D'}},
        // The stick counts past a quarter of its range, diagonals too.
        {{true, false, false, false, false, -0.26, 0.26, false, false, false},
         0,
         {VK_LEFT, VK_DOWN}},
        {{true, false, false, false, false, 0.25, -0.25, false, false, false}, 1, {}},
        {{true, false, false, false, false, 0.9, -0.9, false, false, false}, 1, {'D', 'W'}},
        {{true, false, true, false, false, 0, 0, true, false, false}, 0, {VK_CONTROL, VK_DOWN}},
        {{false, true, true, true, true, 1, 1, true, false, false}, 0, {}}, // unplugged
    };
    for (const Case& c : cases) {
        uint8_t held[256];
        webPadHeldKeys(c.pad, c.player, held);
        std::vector<int> got;
        for (int vk = 0; vk < 256; vk++)
            if (held[vk] == 0x80) got.push_back(vk);
        std::vector<int> want = c.held;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want);
    }
    EXPECT_EQ(webPadButtonKey(true, 0, true), VK_F1);
    EXPECT_EQ(webPadButtonKey(true, 1, true), VK_F2);
    EXPECT_EQ(webPadButtonKey(true, 1, false), VK_SPACE);
    EXPECT_EQ(webPadButtonKey(false, 0, true), VK_ESCAPE);
}

TEST(WebMapping, CanvasHoldsTheNearestWholeMultiple) {
    struct Case {
        double width, height, ratio;
        int multiple;
    } cases[] = {
        {640, 480, 1, 1},   {300, 200, 1, 1},   {959, 719, 1, 1},   {960, 720, 1, 2},
        {1440, 1080, 1, 2}, {1600, 1080, 1, 2}, {1600, 1200, 1, 3}, {960, 720, 2, 3},
        {1280, 4000, 1, 2}, {0, 0, 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(webSharpMultiple(c.width, c.height, c.ratio), c.multiple)
            << c.width << " x " << c.height << " at " << c.ratio;
    }
}
