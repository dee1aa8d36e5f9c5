// What the game remembers from one run to the next: the computer's strength,
// the sound, the match duration, the kits, the window and its scaling, and the
// controls. They live in $XDG_CONFIG_HOME/torvelun-soccer/settings (or
// ~/.config/...), a JSON object read at start and written, whole and
// atomically, whenever one of them changes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "shell/controls.h"

struct Settings {
    int32_t strength = 60; // 20, 40, 60, 80 or 100
    uint8_t soundOn = 1;
    int32_t duration = 90; // 90, 120, 150 or 180
    int32_t kits[4] = {0, 1, 2, 3};
    bool windowed = false;
    ScaleMode scale = ScaleMode::Sharp;
    Controls controls;
    bool operator==(const Settings&) const = default;
};

// The file's place; "" when neither XDG_CONFIG_HOME nor HOME tells one.
std::string settingsPath();
// The settings a file's text gives. What is missing takes its default; a
// value that is not one the game can have takes its default too and is named
// in `bad` (a comma-separated list); text that is no JSON object gives every
// default and bad = "the whole file". Never throws.
Settings settingsFromText(const std::string& text, std::string& bad);
std::string settingsText(const Settings& s);

// The settings the game runs with now, and putting them in place (the display
// goes to platformSetDisplay, to take effect when the window is made).
Settings currentSettings();
void applySettings(const Settings& s);

// At start: reads the file (unless `reset`), puts the settings in place with
// the display the command line asked for where it asked, and remembers them as
// saved. A damaged file gives one warning line on stderr and stays as it is
// until a setting changes; `reset` writes the defaults at once.
struct DisplayChoice {
    bool windowGiven, windowed; // --window or --full-screen
    bool scaleGiven;            // --scale
    ScaleMode scale;
};
void settingsStart(bool reset, const DisplayChoice& commandLine);
// After a turn of the loop: writes the file when a setting changed since.
void settingsKeep();
