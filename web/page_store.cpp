// What the page keeps in the browser's storage (platform/web/library.js): the
// title's options, remembered from one visit to the next, and every match
// recorded as the desktop records it, the newest 50 kept. A replay file
// chosen or dropped on the page plays in place of the game until it ends.
#include "web/page_store.h"

#include <emscripten/emscripten.h>

#include <cstring>
#include <string>

#include "match/state.h"
#include "platform/web/page.h"
#include "shell/game.h"
#include "shell/options.h"
#include "shell/replay.h"
#include "shell/screens.h"

namespace {

// Strength, sound, duration and the four kits, in the order the storage keeps them.
constexpr int SettingCount = 7;
int savedSettings[SettingCount];
bool settingsKnown;

void currentSettings(int values[SettingCount]) {
    values[0] = match.computerStrength;
    values[1] = options.soundOn;
    values[2] = options.matchDuration;
    for (int k = 0; k < 4; k++) values[3 + k] = options.teamColour[k];
}

// Stored values come from outside: each must be one the option keys can
// reach, and the four kits all different, or none is taken.
bool reachable(const int v[SettingCount]) {
    if (v[0] < 20 || v[0] > 100 || v[0] % 20 != 0) return false;
    if (v[1] != 0 && v[1] != 1) return false;
    if (v[2] < 90 || v[2] > 180 || v[2] % 30 != 0) return false;
    for (int k = 0; k < 4; k++) {
        if (v[3 + k] < 0 || v[3 + k] > 9) return false;
        for (int j = 0; j < k; j++)
            if (v[3 + j] == v[3 + k]) return false;
    }
    return true;
}

struct PagePlayback {
    bool on;
    std::string why;
};
PagePlayback playback;

// A fresh game, on the title: after a replay, or to start one from.
void restartGame(bool fixedSeed, uint32_t seed) {
    gameShutdown();
    gameResetState();
    gameStartup(fixedSeed, seed);
}

} // namespace

void pageKeepReplay(const std::vector<uint8_t>& file, void*) {
    webKeepReplay(file.data(), int(file.size()));
}

void pageSettingsRestore() {
    int v[SettingCount];
    if (webLoadSettings(v, SettingCount) && reachable(v)) {
        match.computerStrength = v[0];
        options.soundOn = uint8_t(v[1]);
        options.matchDuration = v[2];
        for (int k = 0; k < 4; k++) options.teamColour[k] = v[3 + k];
    }
    currentSettings(savedSettings);
    settingsKnown = true;
}

void pageSettingsKeep() {
    int v[SettingCount];
    currentSettings(v);
    if (settingsKnown && std::memcmp(v, savedSettings, sizeof v) == 0) return;
    std::memcpy(savedSettings, v, sizeof v);
    settingsKnown = true;
    webSaveSettings(v, SettingCount);
}

void pageRecordMatches() {
    replayRecorderStart(pageKeepReplay, nullptr);
}

bool pageReplayShowing() {
    return playback.on;
}

void pageReplayTurn() {
    if (!replayPlaybackDone() && screenFlow.gameRunning) {
        gameTurn();
        return;
    }
    replayPlaybackStop();
    playback.on = false;
    webReplayEnded();
    // Back to the title, the options as they were remembered.
    restartGame(false, 0);
    screenFlow.bootTime = 1100;
    pageSettingsRestore();
    pageRecordMatches();
}

extern "C" {

// Plays the replay file of `size` bytes at `data`: the game starts again from
// the replay's state. A file that is no replay of this game leaves the game as
// it is and gives the reason.
EMSCRIPTEN_KEEPALIVE const char* webPlayReplay(const uint8_t* data, int size) {
    Replay replay;
    playback.why.clear();
    if (size <= 0 || !readReplay(data, size_t(size), replay, playback.why)) {
        if (playback.why.empty()) playback.why = "the file is empty";
        return playback.why.c_str();
    }
    replayRecorderStop();
    restartGame(true, replay.startupSeed);
    // One recorded pass a displayed frame: the pace the match was played at.
    replayPlaybackStart(replay, false);
    playback.on = true;
    return "";
}

// ESC or the menu's Back while a replay plays: it stops there.
EMSCRIPTEN_KEEPALIVE void webStopReplay() {
    if (playback.on) replayPlaybackStop();
}

} // extern "C"
