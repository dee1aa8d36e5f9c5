// The settings file: what a file gives, what a damaged one gives, when it is
// written and that a write is whole; and the controls screen that edits the keys.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "match/state.h"
#include "shell/controls_screen.h"
#include "shell/game.h"
#include "shell/options.h"
#include "shell/screens.h"
#include "shell/settings.h"

namespace fs = std::filesystem;

TEST(Settings, TextGivesValuesOrDefaultsAndNamesTheBadOnes) {
    Settings custom;
    custom.strength = 100;
    custom.soundOn = 0;
    custom.duration = 150;
    custom.kits[0] = 9;
    custom.windowed = true;
    custom.scale = ScaleMode::Fit;
    custom.controls.keys[1][ActionUp][0] = 0x1D; // Z's place
    custom.controls.padPause = PadNone;
    std::string bad;
    EXPECT_EQ(settingsFromText(settingsText(custom), bad), custom);
    EXPECT_EQ(bad, "");

    struct Case {
        const char* text;
        const char* bad; // the names the warning gives
        int32_t strength, duration, kit0;
        bool windowed;
    } cases[] = {
        {"{}", "", 60, 90, 0, false},
        {"{\"strength\": 80, \"window\": true}", "", 80, 90, 0, true},
        {"{\"strength\": 70, \"duration\": 120}", "strength", 60, 120, 0, false},
        {"{\"strength\": \"80\", \"duration\": 1e9, \"kits\": [4, 4, 2, 3]}",
         "strength, duration, kits", 60, 90, 0, false},
        {"{\"kits\": [5, 1, 2, 3], \"scale\": \"blurry\", \"sound\": 1}", "sound, scale", 60, 90, 5,
         false},
        {"{\"controls\": {\"player1\": {\"left\": [4]}}}", "controls", 60, 90, 0, false},
        {"{\"controls\": {\"pause\": 4}}", "controls", 60, 90, 0, false}, // A is player 2's
        {"{\"controls\": {\"padPause\": \"start\"}, \"window\": null}", "window", 60, 90, 0, false},
        {"[1, 2]", "the whole file", 60, 90, 0, false},
        {"{\"strength\": 80", "the whole file", 60, 90, 0, false},
        {"", "the whole file", 60, 90, 0, false},
    };
    for (const Case& c : cases) {
        Settings s = settingsFromText(c.text, bad);
        EXPECT_EQ(bad, c.bad) << c.text;
        EXPECT_EQ(s.strength, c.strength) << c.text;
        EXPECT_EQ(s.duration, c.duration) << c.text;
        EXPECT_EQ(s.kits[0], c.kit0) << c.text;
        EXPECT_EQ(s.windowed, c.windowed) << c.text;
        EXPECT_TRUE(controlsValid(s.controls)) << c.text;
    }
}

static std::string fileText(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

TEST(Settings, KeptInTheConfigFolderOnlyWhenTheyChange) {
    const fs::path dir =
        fs::temp_directory_path() / ("soccer-settings-" + std::to_string(getpid()));
    fs::remove_all(dir);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    const fs::path file = dir / "torvelun-soccer" / "settings";
    EXPECT_EQ(settingsPath(), file.string());
    platformSetHeadless(true);
    gameResetState();

    // No file: the defaults, and nothing written until a setting changes.
    settingsStart(false, {false, false, false, ScaleMode::Sharp});
    settingsKeep();
    EXPECT_FALSE(fs::exists(file));
    options.matchDuration = 120;
    settingsKeep();
    std::string bad;
    EXPECT_EQ(settingsFromText(fileText(file), bad).duration, 120);

    // A damaged value: its default, the file left as it is until a change.
    const std::string damaged = "{\"duration\": 120, \"strength\": 55}";
    std::ofstream(file) << damaged;
    gameResetState();
    settingsStart(false, {true, true, false, ScaleMode::Sharp}); // --window
    EXPECT_EQ(options.matchDuration, 120);
    EXPECT_EQ(match.computerStrength, 60);
    settingsKeep(); // --window is a change, and is kept
    EXPECT_TRUE(settingsFromText(fileText(file), bad).windowed);
    options.soundOn = 0;
    settingsKeep();
    Settings saved = settingsFromText(fileText(file), bad);
    EXPECT_EQ(bad, "");
    EXPECT_EQ(saved, currentSettings());
    EXPECT_EQ(saved.soundOn, 0);
    // Written whole, beside the file and renamed: nothing else is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1);

    // --reset-settings: the defaults, written at once.
    settingsStart(true, {false, false, false, ScaleMode::Sharp});
    EXPECT_EQ(settingsFromText(fileText(file), bad), Settings{});
    EXPECT_EQ(options.soundOn, 1);
    unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(dir);
    platformSetDisplay({false, ScaleMode::Sharp});
    gameResetState();
}

// A key-down as the window gives it: the code and the scancode in lParam.
static void keyDown(int vk, int scancode) {
    windowProcedure(WM_KEYDOWN, uintptr_t(vk), intptr_t(scancode) << 16);
}

TEST(ControlsScreen, AsksForEachKeyRefusesTakenOnesAndEscKeeps) {
    gameResetState();
    controls = Controls{};
    screenFlow.bootActive = 0;
    screenFlow.titleActive = 1;
    keyDown(VK_F11, 0x44);
    ASSERT_TRUE(controlsScreen.active);
    keyDown('Z', 0x1D);       // player 1 left: Z's place
    keyDown(VK_ESCAPE, 0x29); // right: kept
    keyDown('A', ScanA);      // up: player 2's left, refused
    EXPECT_TRUE(controlsScreen.refused);
    keyDown('P', ScanP);    // the pause key, refused
    keyDown(VK_F1, 0x3A);   // a flow key, refused
    keyDown(VK_UP, ScanUp); // its own key again: kept, and no longer refused
    EXPECT_FALSE(controlsScreen.refused);
    keyDown(VK_CONTROL, ScanRightCtrl); // down: taken by player 1's shoot, refused
    EXPECT_EQ(controlsScreen.step, ActionDown);
    for (int step = ActionDown; step < 2 * ActionCount; step++) keyDown(VK_ESCAPE, 0x29);
    // The pad's pause button: Y, right to GUIDE, left twice to X.
    keyDown(VK_RIGHT, ScanRight);
    EXPECT_EQ(controls.padPause, PadGuide);
    keyDown(VK_LEFT, ScanLeft);
    keyDown(VK_LEFT, ScanLeft);
    keyDown(VK_RETURN, 0x28);
    // Pad 1's shoot button: A, left round to the right shoulder (none is no
    // choice), right three times: A, B, then past X, which pauses, to Y; then
    // pad 2's: A, kept.
    keyDown(VK_LEFT, ScanLeft);
    EXPECT_EQ(controls.padShoot[0], PadRightShoulder);
    keyDown(VK_RIGHT, ScanRight);
    keyDown(VK_RIGHT, ScanRight);
    keyDown(VK_RIGHT, ScanRight);
    EXPECT_EQ(controls.padShoot[0], PadY);
    keyDown(VK_RETURN, 0x28);
    ASSERT_TRUE(controlsScreen.active);
    keyDown(VK_ESCAPE, 0x29);
    EXPECT_FALSE(controlsScreen.active);
    Controls expected;
    expected.keys[0][ActionLeft][0] = 0x1D;
    expected.padPause = PadX;
    expected.padShoot[0] = PadY;
    EXPECT_EQ(controls, expected);
    EXPECT_TRUE(screenFlow.gameRunning); // ESC there never quits
    EXPECT_TRUE(screenFlow.titleActive);
    controls = Controls{};
}
