#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/sdl_backend.h"
#include "shell/options.h"
#include "shell/timing.h"

// The window procedure sees the codes the game was written for, whatever SDL calls the key.
TEST(PlatformKeys, SdlKeysMapToVirtualKeys) {
    EXPECT_EQ(platformVirtualKey(SDLK_LEFT), VK_LEFT);
    EXPECT_EQ(platformVirtualKey(SDLK_RIGHT), VK_RIGHT);
    EXPECT_EQ(platformVirtualKey(SDLK_UP), VK_UP);
    EXPECT_EQ(platformVirtualKey(SDLK_DOWN), VK_DOWN);
    EXPECT_EQ(platformVirtualKey(SDLK_LCTRL), VK_CONTROL);
    EXPECT_EQ(platformVirtualKey(SDLK_RCTRL), VK_CONTROL);
    EXPECT_EQ(platformVirtualKey(SDLK_ESCAPE), VK_ESCAPE);
    EXPECT_EQ(platformVirtualKey(SDLK_SPACE), VK_SPACE);
    EXPECT_EQ(platformVirtualKey(SDLK_RETURN), VK_RETURN);
    EXPECT_EQ(platformVirtualKey(SDLK_KP_ENTER), VK_RETURN);
    EXPECT_EQ(platformVirtualKey(SDLK_F1), VK_F1);
    EXPECT_EQ(platformVirtualKey(SDLK_F5), VK_F5);
    EXPECT_EQ(platformVirtualKey(SDLK_F9), VK_F9);
    // Letters are upper case, whatever the shift state.
    EXPECT_EQ(platformVirtualKey(SDLK_a), 'A');
    EXPECT_EQ(platformVirtualKey(SDLK_b), 'B');
    EXPECT_EQ(platformVirtualKey(SDLK_d), 'D');
    EXPECT_EQ(platformVirtualKey(SDLK_s), 'S');
    EXPECT_EQ(platformVirtualKey(SDLK_w), 'W');
    EXPECT_EQ(platformVirtualKey(SDLK_z), 'Z');
    EXPECT_EQ(platformVirtualKey(SDLK_0), '0');
    EXPECT_EQ(platformVirtualKey(SDLK_9), '9');
    // Any other key still arrives as a key, so it can close a message box.
    EXPECT_EQ(platformVirtualKey(SDLK_PAUSE), VK_OTHER);
    EXPECT_NE(platformVirtualKey(SDLK_PAUSE), 0);
}

// With Num Lock off the keypad's arrows steer like the arrow keys; with it on
// they are digits. Alt, F10 and keys pressed with Alt held are system keys.
TEST(PlatformKeys, KeypadAndSystemKeys) {
    struct Case {
        SDL_Keycode key;
        int numLockOff, numLockOn;
    };
    const Case keypad[] = {
        {SDLK_KP_4, VK_LEFT, 0x64},       {SDLK_KP_6, VK_RIGHT, 0x66},   {SDLK_KP_8, VK_UP, 0x68},
        {SDLK_KP_2, VK_DOWN, 0x62},       {SDLK_KP_7, 0x24, 0x67},       {SDLK_KP_0, 0x2D, 0x60},
        {SDLK_KP_PERIOD, 0x2E, VK_OTHER}, {SDLK_LEFT, VK_LEFT, VK_LEFT}, {SDLK_b, 'B', 'B'},
    };
    for (const Case& c : keypad) {
        EXPECT_EQ(keyCodeWithNumLock(c.key, false), c.numLockOff) << c.key;
        EXPECT_EQ(keyCodeWithNumLock(c.key, true), c.numLockOn) << c.key;
    }
    EXPECT_TRUE(isSystemKey(SDLK_LALT, KMOD_NONE));
    EXPECT_TRUE(isSystemKey(SDLK_RALT, KMOD_NONE));
    EXPECT_TRUE(isSystemKey(SDLK_F10, KMOD_NONE));
    EXPECT_TRUE(isSystemKey(SDLK_RETURN, KMOD_LALT));
    EXPECT_TRUE(isSystemKey(SDLK_F1, KMOD_RALT));
    EXPECT_FALSE(isSystemKey(SDLK_RETURN, KMOD_NONE));
    EXPECT_FALSE(isSystemKey(SDLK_F9, KMOD_NUM));
    EXPECT_FALSE(isSystemKey(SDLK_q, KMOD_LCTRL | KMOD_RALT)); // AltGr on some layouts
}

TEST(PlatformHeadless, KeysQueueOneMessageAndHoldTheState) {
    platformSetHeadless(true);
    platformShutdown(); // an empty queue and no key held
    platformSetWindowProcedure(windowProcedure);
    uint8_t keys[256];

    headlessKeyDown(VK_LEFT);
    platformKeyboardState(keys);
    EXPECT_EQ(keys[VK_LEFT], 0x80);
    headlessSetKeyHeld(VK_CONTROL, true);
    platformKeyboardState(keys);
    EXPECT_EQ(keys[VK_CONTROL], 0x80);

    // One message per call, then nothing: holding queues no repeats, a key-up
    // and a held state queue nothing at all.
    gameRunning = 1;
    EXPECT_TRUE(platformDispatchOneMessage());
    EXPECT_FALSE(platformDispatchOneMessage());
    headlessKeyUp(VK_LEFT);
    platformKeyboardState(keys);
    EXPECT_EQ(keys[VK_LEFT], 0);
    EXPECT_EQ(keys[VK_CONTROL], 0x80);
    EXPECT_FALSE(platformDispatchOneMessage());

    // Messages keep their order.
    headlessPostMessage(WM_KEYDOWN, VK_F3);
    headlessPostMessage(WM_CLOSE, 0);
    EXPECT_TRUE(platformDispatchOneMessage());
    EXPECT_EQ(gameRunning, 1);
    EXPECT_TRUE(platformDispatchOneMessage());
    EXPECT_EQ(gameRunning, 0);
    gameRunning = 1;
    platformShutdown();
}

TEST(PlatformHeadless, VirtualClockWraps) {
    platformSetHeadless(true);
    headlessSetClock(0xFFFFFFF0u);
    uint32_t before = platformMilliseconds();
    headlessAdvanceClock(0x20);
    EXPECT_EQ(platformMilliseconds(), 0x10u);
    EXPECT_EQ(platformMilliseconds() - before, 0x20u);
}
