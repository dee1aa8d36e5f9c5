// The Windows backend: keys and pads as the game reads them, and the window
// under a real message loop (Wine's, on Debian).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"
// (after windows.h)
#include <xinput.h>

// The system's codes reach the game as they are, but for the left and right
// variants of CTRL, SHIFT and Alt and the mouse buttons, which are no keys.
TEST(Win32Keys, SystemCodesAsTheGameReadsThem) {
    const int table[][2] = {{VK_LCONTROL, VK_CONTROL},
                            {VK_RCONTROL, VK_CONTROL},
                            {VK_LSHIFT, VK_SHIFT},
                            {VK_RMENU, VK_MENU},
                            {VK_LBUTTON, 0},
                            {VK_XBUTTON2, 0},
                            {'A', 'A'},
                            {VK_F9, VK_F9},
                            {VK_NUMPAD4, VK_NUMPAD4},
                            {VK_ESCAPE, VK_ESCAPE}};
    for (const auto& row : table) EXPECT_EQ(win32GameKey(row[0]), row[1]) << row[0];
    // Alt+Enter switches once per press; Enter alone is a key of the game.
    const LPARAM alt = 1 << 29, repeat = 1 << 30;
    EXPECT_TRUE(win32IsFullScreenSwitch(VK_RETURN, alt));
    EXPECT_FALSE(win32IsFullScreenSwitch(VK_RETURN, alt | repeat));
    EXPECT_FALSE(win32IsFullScreenSwitch(VK_RETURN, 0));
    EXPECT_FALSE(win32IsFullScreenSwitch(VK_F4, alt));
}

// A pad holds its player's keys, as on Linux: the d-pad or the left stick
// (beyond a quarter of its range; XInput's y grows upward), A shoots, Back is
// ESC, Start stands for what the shell says.
TEST(Win32Pads, ReadingsHoldThePlayersKeys) {
    platformSetPadStartKeys(VK_F1, VK_F2);
    struct Row {
        PadReading pad;
        int player;
        std::vector<int> held;
    };
    const Row rows[] = {
        {{true, XINPUT_GAMEPAD_DPAD_LEFT | XINPUT_GAMEPAD_A, 0, 0}, 0, {VK_LEFT, VK_CONTROL}},
        {{true, XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_START, 0, 0}, 1, {'B', VK_F2}},
        {{true, XINPUT_GAMEPAD_BACK, 0, 0}, 1, {VK_ESCAPE}},
        {{true, 0, 30000, 30000}, 0, {VK_RIGHT, VK_UP}},
        {{true, 0, -30000, -30000}, 1, {'A', 'S'}},
        {{true, 0, 8000, -8000}, 0, {}}, // within the dead zone
        {{false, XINPUT_GAMEPAD_A, 0, 0}, 0, {}},
    };
    for (const Row& row : rows) {
        uint8_t keys[256] = {};
        padReadingKeys(row.pad, row.player, keys);
        std::vector<int> held;
        for (int vk = 0; vk < 256; vk++)
            if (keys[vk]) held.push_back(vk);
        std::vector<int> expected = row.held;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(held, expected) << "buttons " << row.pad.buttons;
    }
    EXPECT_EQ(padButtonKey(0, XINPUT_GAMEPAD_Y), 0);
    // The controls screen may make another button shoot: A then does nothing.
    platformSetPadShootButtons(PadB, PadA);
    EXPECT_EQ(padButtonKey(0, XINPUT_GAMEPAD_B), VK_CONTROL);
    EXPECT_EQ(padButtonKey(0, XINPUT_GAMEPAD_A), 0);
    EXPECT_EQ(padButtonKey(1, XINPUT_GAMEPAD_A), 'B');
    platformSetPadShootButtons(PadA, PadA);
}

static std::vector<PlatformMessage> received;
static std::vector<uintptr_t> activations;
static intptr_t recordMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_ACTIVATE) {
        activations.push_back(wParam);
    } else {
        received.push_back({message, wParam, lParam});
    }
    return 0;
}

// The window of the game's own class takes real messages: one key-down per
// pass with its code, none for a system key, the close; and the frame shows
// pixel for pixel in a window of 640 x 480.
TEST(Win32Window, TakesMessagesAndShowsTheFrame) {
    platformSetDisplay({true, ScaleMode::Sharp});
    platformSetWindowProcedure(recordMessage);
    ASSERT_TRUE(platformCreateWindow("TORVELUN SOCCER", "SOCCER")) << platformError();
    HWND hwnd = win32Window();
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    EXPECT_STREQ(name, "TORVELUN SOCCER");
    GetWindowTextA(hwnd, name, sizeof name);
    EXPECT_STREQ(name, "SOCCER");
    while (platformDispatchOneMessage()) {}
    received.clear();
    PostMessageA(hwnd, WM_KEYDOWN, 'W', 0);
    PostMessageA(hwnd, WM_SYSKEYDOWN, VK_F10, 0);
    PostMessageA(hwnd, WM_KEYDOWN, VK_F1, 0);
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(platformDispatchOneMessage());
    EXPECT_EQ(received.size(), 1u); // one message a pass
    for (int i = 0; i < 20 && platformDispatchOneMessage(); i++) {}
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].wParam, uintptr_t('W'));
    EXPECT_EQ(received[1].wParam, uintptr_t(VK_F1));
    EXPECT_EQ(received[2].message, uint32_t(WM_CLOSE));

    std::vector<uint32_t> frame(FrameWidth * FrameHeight, 0xFF2060A0);
    frame[FrameWidth * 10 + 20] = 0xFFFFFF00;
    platformPresent(frame.data());
    RECT client;
    GetClientRect(hwnd, &client);
    if (client.right == FrameWidth && client.bottom == FrameHeight) {
        HDC dc = GetDC(hwnd);
        EXPECT_EQ(GetPixel(dc, 20, 10), RGB(0xFF, 0xFF, 0x00));
        EXPECT_EQ(GetPixel(dc, 320, 240), RGB(0x20, 0x60, 0xA0));
        ReleaseDC(hwnd, dc);
    }
    platformShutdown();
    EXPECT_EQ(win32Window(), nullptr);
}

// Alt+Enter: a borderless window over the whole monitor and back. Losing the
// focus pauses the game, windowed or full screen (it used to end a full-screen
// game, losing the match); so does the pause key, which makes no message.
TEST(Win32Window, FullScreenSwitchFocusAndPause) {
    platformSetDisplay({true, ScaleMode::Integer});
    platformSetWindowProcedure(recordMessage);
    ASSERT_TRUE(platformCreateWindow("TORVELUN SOCCER", "SOCCER")) << platformError();
    HWND hwnd = win32Window();
    while (platformDispatchOneMessage()) {}
    received.clear();
    SendMessageA(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_TRUE(platformPaused());
    SendMessageA(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_FALSE(platformPaused());

    SendMessageA(hwnd, WM_SYSKEYDOWN, VK_RETURN, 1 << 29);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CAPTION, 0);
    RECT window, monitor = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    GetWindowRect(hwnd, &window);
    EXPECT_TRUE(EqualRect(&window, &monitor));
    EXPECT_FALSE(platformCurrentDisplay().windowed);
    SendMessageA(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(platformPauseCause(), PauseCause::Focus);
    SendMessageA(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_FALSE(platformPaused());

    // P's place (set-1 scan code 0x19) pauses and goes on; a repeat does nothing.
    platformSetPauseKeys(ScanP, PadNone);
    SendMessageA(hwnd, WM_KEYDOWN, 'P', 0x19 << 16);
    EXPECT_EQ(platformPauseCause(), PauseCause::Key);
    SendMessageA(hwnd, WM_KEYDOWN, 'P', 0x19 << 16 | 1 << 30);
    EXPECT_EQ(platformPauseCause(), PauseCause::Key);
    SendMessageA(hwnd, WM_KEYDOWN, 'P', 0x19 << 16);
    EXPECT_FALSE(platformPaused());
    platformSetPauseKeys(0, PadNone);

    // A key bound by its place gives its binding's code and carries the place.
    const KeyBinding bound[] = {{0x1D, 'W'}}; // the place of an English Z
    platformSetKeyBindings(bound, 1);
    SendMessageA(hwnd, WM_KEYDOWN, 'Z', 0x2C << 16);
    platformSetKeyBindings(nullptr, 0);

    SendMessageA(hwnd, WM_SYSKEYDOWN, VK_RETURN, 1 << 29);
    EXPECT_NE(GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CAPTION, 0);
    activations.clear();
    while (platformDispatchOneMessage()) {}
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].wParam, uintptr_t('W'));
    EXPECT_EQ(KeyScancode(received[0].lParam), 0x1D);
    // No loss of the focus reached the game.
    EXPECT_EQ(std::find(activations.begin(), activations.end(), uintptr_t(WA_INACTIVE)),
              activations.end());
    platformShutdown();
}

// Set-1 scan codes and the extended bit as the places of platform.h.
TEST(Win32Keys, ScancodesAreHidPlaces) {
    const struct {
        int set1;
        bool extended;
        int place;
    } rows[] = {{0x1E, false, ScanA},    {0x19, false, ScanP},        {0x13, false, ScanR},
                {0x2C, false, ScanZ},    {0x1D, false, ScanLeftCtrl}, {0x1D, true, ScanRightCtrl},
                {0x48, true, ScanUp},    {0x50, true, ScanDown},      {0x4B, true, ScanLeft},
                {0x4D, true, ScanRight}, {0x48, false, 0x60},         {0x7F, false, 0}};
    for (const auto& row : rows) {
        LPARAM flags = LPARAM(row.set1) << 16 | LPARAM(row.extended) << 24;
        EXPECT_EQ(win32Scancode(flags), row.place) << std::hex << row.set1;
    }
}
