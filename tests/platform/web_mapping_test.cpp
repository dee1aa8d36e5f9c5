// The browser's key names become the virtual-key codes the desktop gives the
// same keys; a gamepad holds its player's keys; the canvas's whole multiple.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/sdl_backend.h"
#include "platform/web/web_platform.h"

TEST(WebMapping, KeysAsOnTheDesktop) {
    // The browser names a key by what it means (`key`, with the keyboard's
    // layout) and where it sits (`code`); SDL's keycode follows the layout too.
    // With Num Lock off (the `false` rows) the keypad's keys mean their second
    // meanings: the arrows and the keys above them.
    struct Case {
        const char* key;
        const char* code;
        SDL_Keycode sdl;
        bool numLock;
    } cases[] = {
        {"ArrowLeft", "ArrowLeft", SDLK_LEFT, true},
        {"ArrowUp", "ArrowUp", SDLK_UP, true},
        {"ArrowRight", "ArrowRight", SDLK_RIGHT, true},
        {"ArrowDown", "ArrowDown", SDLK_DOWN, true},
        {"Control", "ControlLeft", SDLK_LCTRL, true},
        {"Control", "ControlRight", SDLK_RCTRL, true},
        {"Escape", "Escape", SDLK_ESCAPE, true},
        {" ", "Space", SDLK_SPACE, true},
        {"Enter", "Enter", SDLK_RETURN, true},
        {"Enter", "NumpadEnter", SDLK_KP_ENTER, true},
        {"w", "KeyW", SDLK_w, true},
        {"W", "KeyW", SDLK_w, true}, // with SHIFT held
        {"b", "KeyB", SDLK_b, true},
        {"z", "KeyY", SDLK_z, true}, // a German layout
        {"7", "Digit7", SDLK_7, true},
        {"7", "Numpad7", SDLK_KP_7, true},
        {"0", "Numpad0", SDLK_KP_0, true},
        {"F1", "F1", SDLK_F1, true},
        {"F9", "F9", SDLK_F9, true},
        {"F10", "F10", SDLK_F10, true},
        {"F12", "F12", SDLK_F12, true},
        {"F13", "F13", SDLK_F13, true},
        {"Shift", "ShiftLeft", SDLK_LSHIFT, true},
        {"Alt", "AltLeft", SDLK_LALT, true},
        {"Tab", "Tab", SDLK_TAB, true},
        {"Backspace", "Backspace", SDLK_BACKSPACE, true},
        {"é", "Digit2", SDLK_UNKNOWN, true},
        {"Dead", "BracketLeft", SDLK_UNKNOWN, true},
        {"PageUp", "PageUp", SDLK_PAGEUP, true},
        {"Home", "Home", SDLK_HOME, true},
        {"F", "KeyF", SDLK_f, true},
        {"ArrowLeft", "Numpad4", SDLK_KP_4, false},
        {"ArrowUp", "Numpad8", SDLK_KP_8, false},
        {"Home", "Numpad7", SDLK_KP_7, false},
        {"PageDown", "Numpad3", SDLK_KP_3, false},
        {"Clear", "Numpad5", SDLK_KP_5, false},
        {"Insert", "Numpad0", SDLK_KP_0, false},
        {"Delete", "NumpadDecimal", SDLK_KP_PERIOD, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(webVirtualKey(c.key, c.code), keyCodeWithNumLock(c.sdl, c.numLock))
            << c.key << " " << c.code;
    }
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

TEST(WebMapping, TouchStickSteersInEightDirections) {
    struct Case {
        double x, y;
        std::vector<int> held;
    } cases[] = {
        {0, 0, {}},
        {0.24, 0, {}}, // within a quarter of the radius the stick is still
        {0.17, -0.17, {}},
        {0.26, 0, {VK_RIGHT}},
        {1, -0.4, {VK_RIGHT}},         // 21.8 degrees off the axis: still straight
        {1, -0.42, {VK_RIGHT, VK_UP}}, // 22.8 degrees: the diagonal
        {-0.7, 0.7, {VK_LEFT, VK_DOWN}},
        {0, -1, {VK_UP}},
        {0.1, 0.9, {VK_DOWN}},
        {std::nan(""), 1, {}},
    };
    for (const Case& c : cases) {
        for (bool shoot : {false, true}) {
            uint8_t held[256];
            webPadHeldKeys(webTouchStickReading(c.x, c.y, shoot), 0, held);
            std::vector<int> got, want = c.held;
            for (int vk = 0; vk < 256; vk++)
                if (held[vk] == 0x80) got.push_back(vk);
            if (shoot) want.push_back(VK_CONTROL);
            std::sort(want.begin(), want.end());
            EXPECT_EQ(got, want) << c.x << ", " << c.y << (shoot ? " shooting" : "");
        }
    }
}
