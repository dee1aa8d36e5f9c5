// Gamepads on the headless platform, through SDL's virtual joysticks: a pad
// plays exactly as its player's keys, pads take the players in the order they
// come, and a pad pulled out mid-hold holds nothing.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "match/state.h"
#include "platform/sdl_backend.h"
#include "shell/game.h"
#include "shell/screens.h"
#include "tests/shell/shell_fixture.h"
#include "tools/snapshot/snapshot.h"

using Pads = HeadlessGame;

// A virtual pad with every button and axis of SDL's standard layout; its
// buttons and axes are numbered as the game controller's.
static SDL_Joystick* attachPad(const char* name, Uint16 type = SDL_JOYSTICK_TYPE_GAMECONTROLLER) {
    SDL_VirtualJoystickDesc d{};
    d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    d.type = type;
    d.naxes = SDL_CONTROLLER_AXIS_MAX;
    d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    d.name = name;
    d.vendor_id = 0x1209; // a USB pad's identity, which its GUID carries
    d.product_id = 0x5050;
    int index = SDL_JoystickAttachVirtualEx(&d);
    return index < 0 ? nullptr : SDL_JoystickOpen(index);
}

static void detachPad(SDL_Joystick* pad) {
    SDL_JoystickID id = SDL_JoystickInstanceID(pad);
    SDL_JoystickClose(pad);
    for (int i = 0; i < SDL_NumJoysticks(); i++)
        if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
}

static std::string stateJson() {
    char* text = nullptr;
    size_t size = 0;
    std::FILE* f = open_memstream(&text, &size);
    writeStateJson(f);
    std::fclose(f);
    std::string s(text, size);
    std::free(text);
    return s;
}

// One step of a two-player script: before pass `pass`, `player`'s pad sets a
// button (axis -1) or an axis to `value`; `unplug` pulls the pad out.
struct PadStep {
    int pass, player, button, axis, value;
    bool unplug;
};

// What the same step is on the keyboard: the key a pad's control stands for.
static int keyFor(const PadStep& s) {
    static const int keys[2][5] = {{VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_CONTROL},
                                   {'A', 'D', 'W', 'S', 'B'}};
    const int* k = keys[s.player];
    if (s.axis == SDL_CONTROLLER_AXIS_LEFTX) return s.value < 0 ? k[0] : k[1];
    if (s.axis == SDL_CONTROLLER_AXIS_LEFTY) return s.value < 0 ? k[2] : k[3];
    switch (s.button) {
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        return k[0];
    case SDL_CONTROLLER_BUTTON_A:
        return k[4];
    case SDL_CONTROLLER_BUTTON_BACK:
        return VK_ESCAPE;
    case SDL_CONTROLLER_BUTTON_START:
        return titleActive ? (s.player ? VK_F2 : VK_F1) : VK_SPACE;
    default:
        return 0;
    }
}

// Boot screen skipped, a two-player match from the title, the box closed, then
// both players on the d-pad, the stick and A, and player 2's pad pulled out
// while it holds the stick and A.
static const PadStep script[] = {
    {2, 0, SDL_CONTROLLER_BUTTON_BACK, -1, 1, false},
    {3, 0, SDL_CONTROLLER_BUTTON_BACK, -1, 0, false},
    {80, 1, SDL_CONTROLLER_BUTTON_START, -1, 1, false},
    {81, 1, SDL_CONTROLLER_BUTTON_START, -1, 0, false},
    {140, 0, SDL_CONTROLLER_BUTTON_DPAD_LEFT, -1, 1, false},
    {170, 0, SDL_CONTROLLER_BUTTON_DPAD_LEFT, -1, 0, false},
    {171, 0, -1, SDL_CONTROLLER_AXIS_LEFTY, -30000, false},
    {190, 0, -1, SDL_CONTROLLER_AXIS_LEFTY, -2000, false}, // inside the dead zone
    {191, 0, SDL_CONTROLLER_BUTTON_A, -1, 1, false},
    {215, 0, SDL_CONTROLLER_BUTTON_A, -1, 0, false},
    {216, 1, -1, SDL_CONTROLLER_AXIS_LEFTX, 30000, false},
    {217, 1, SDL_CONTROLLER_BUTTON_A, -1, 1, false},
    {240, 1, -1, -1, 0, true},
};
constexpr int ScriptPasses = 280;

static void applyOnPads(const PadStep& s, SDL_Joystick* pads[2]) {
    if (s.unplug) {
        detachPad(pads[s.player]);
    } else if (s.axis >= 0) {
        SDL_JoystickSetVirtualAxis(pads[s.player], s.axis, Sint16(s.value));
    } else {
        SDL_JoystickSetVirtualButton(pads[s.player], s.button, Uint8(s.value));
    }
}

// The keyboard's side: the keys each player's pad would hold, by control.
struct HeldKeys {
    int button[2][SDL_CONTROLLER_BUTTON_MAX];
    int axis[2][2];
};

static void applyOnKeys(const PadStep& s, HeldKeys& h) {
    if (s.unplug) {
        for (int& vk : h.button[s.player]) vk = vk ? (headlessKeyUp(vk), 0) : 0;
        for (int& vk : h.axis[s.player]) vk = vk ? (headlessKeyUp(vk), 0) : 0;
        return;
    }
    int* slot = s.axis >= 0 ? &h.axis[s.player][s.axis] : &h.button[s.player][s.button];
    if (*slot) headlessKeyUp(*slot);
    *slot = 0;
    // A stick within its dead zone holds nothing.
    if (s.value == 0 || (s.axis >= 0 && std::abs(s.value) < 8192)) return;
    *slot = keyFor(s);
    headlessKeyDown(*slot);
}

// Runs the script on pads or on the keyboard; the shell's and the match's
// state after every pass.
static std::vector<std::string> runScript(bool onPads) {
    SDL_Joystick* pads[2] = {nullptr, nullptr};
    if (onPads) {
        EXPECT_TRUE(padsStart());
        pads[0] = attachPad("pad one");
        pads[1] = attachPad("pad two");
    }
    HeldKeys held{};
    std::vector<std::string> states;
    size_t next = 0;
    for (int pass = 1; pass <= ScriptPasses; pass++) {
        for (; next < std::size(script) && script[next].pass == pass; next++) {
            if (onPads) {
                applyOnPads(script[next], pads);
            } else {
                applyOnKeys(script[next], held);
            }
        }
        runPasses(1);
        states.push_back(stateJson());
    }
    if (onPads) detachPad(pads[0]);
    return states;
}

TEST_F(Pads, APadPlaysExactlyAsItsPlayersKeys) {
    std::vector<std::string> keys = runScript(false);
    gameShutdown();
    gameResetState();
    headlessSetClock(0);
    ASSERT_TRUE(gameStartup(true, 1));
    std::vector<std::string> pads = runScript(true);
    ASSERT_EQ(keys.size(), pads.size());
    for (size_t i = 0; i < keys.size(); i++) ASSERT_EQ(keys[i], pads[i]) << "pass " << i + 1;
    // The script did play: a two-player match left its kick-off.
    EXPECT_EQ(titleActive, 0);
    EXPECT_EQ(match.singlePlayer, 0);
    EXPECT_NE(match.playState, KickOff);
}

static bool held(int vk) {
    uint8_t keys[256];
    platformDispatchOneMessage(); // takes the pads' events
    platformKeyboardState(keys);
    return keys[vk] & 0x80;
}

// Pads take the first free player when they come; a pad of a layout SDL does
// not know plays through a mapping in SDL_GAMECONTROLLERCONFIG.
TEST_F(Pads, HotPluggingAndUnknownPads) {
    // The GUID of a virtual pad with USB ids 1209:5050, as mappings name it
    // (without the CRC of its name).
    setenv("SDL_GAMECONTROLLERCONFIG",
           "ff000000091200005050000000007600,no-name pad,a:b3,dpleft:b0,leftx:a0,lefty:a1,", 1);
    ASSERT_TRUE(padsStart());
    unsetenv("SDL_GAMECONTROLLERCONFIG");
    SDL_Joystick* generic = attachPad("no-name pad", SDL_JOYSTICK_TYPE_UNKNOWN);
    ASSERT_NE(generic, nullptr);
    SDL_JoystickSetVirtualButton(generic, 3, 1); // its A, by the mapping
    EXPECT_TRUE(held(VK_CONTROL));

    SDL_Joystick* second = attachPad("second");
    SDL_Joystick* third = attachPad("third"); // no player left for it
    SDL_JoystickSetVirtualButton(second, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
    SDL_JoystickSetVirtualButton(third, SDL_CONTROLLER_BUTTON_A, 1);
    EXPECT_TRUE(held('A'));
    EXPECT_FALSE(held('B'));
    detachPad(generic);
    EXPECT_FALSE(held(VK_CONTROL));
    SDL_Joystick* fourth = attachPad("fourth"); // takes player 1
    SDL_JoystickSetVirtualAxis(fourth, SDL_CONTROLLER_AXIS_LEFTX, 20000);
    EXPECT_TRUE(held(VK_RIGHT));
    EXPECT_TRUE(held('A'));
    for (SDL_Joystick* pad : {second, third, fourth}) detachPad(pad);
    EXPECT_FALSE(held('A'));
    EXPECT_FALSE(held(VK_RIGHT));
}
