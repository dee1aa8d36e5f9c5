// Where the game keeps the matches it records, and watching one again.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/platform.h"
#include "shell/display.h"
#include "shell/game.h"
#include "shell/options.h"
#include "shell/replay.h"
#include "shell/screens.h"
#include "shell/timing.h"

namespace fs = std::filesystem;

std::string replayFolder() {
#ifdef _WIN32
    // Windows keeps a user's program data under the local application data.
    const char* local = std::getenv("LOCALAPPDATA");
    if (!local || !local[0]) return "";
    return std::string(local) + "\\Torvelun Soccer\\replays";
#endif
    // Only an absolute path counts, as the XDG base directory rules say.
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') return "";
        base = std::string(home) + "/.local/share";
    }
    return base + "/torvelun-soccer/replays";
}

// Names sort by the time of the save: 20250131-174502-00.replay (UTC).
static bool isReplayName(const std::string& name) {
    static const char shape[] = "dddddddd-dddddd-dd.replay";
    if (name.size() != sizeof shape - 1) return false;
    for (size_t i = 0; i < name.size(); i++) {
        bool digit = name[i] >= '0' && name[i] <= '9';
        if (shape[i] == 'd' ? !digit : name[i] != shape[i]) return false;
    }
    return true;
}

// Saves under the first free name of this second; false with `why` when none is.
static bool saveUnderFreeName(const fs::path& folder, const std::vector<uint8_t>& file,
                              std::string& why) {
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    for (int n = 0; n < 100; n++) {
        char name[48];
        std::snprintf(name, sizeof name, "%s-%02d.replay", stamp, n);
        if (writeFileAtomically((folder / name).string(), file, why, false)) return true;
        if (errno != EEXIST) return false;
    }
    why = "no free name";
    return false;
}

// Only files the game named itself are ever removed.
static void keepNewest(const fs::path& folder, size_t kept) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        std::string name = e.path().filename().string();
        if (isReplayName(name) && e.is_regular_file(ec)) names.push_back(name);
    }
    if (names.size() <= kept) return;
    std::sort(names.begin(), names.end());
    for (size_t i = 0; i + kept < names.size(); i++) fs::remove(folder / names[i], ec);
}

void saveReplayInFolder(const std::vector<uint8_t>& file, void* context) {
    const fs::path folder = *static_cast<const std::string*>(context);
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::string why = ec.message();
    if (ec || !saveUnderFreeName(folder, file, why)) {
        std::fprintf(stderr, "soccer: the match is not recorded in %s: %s\n",
                     folder.string().c_str(), why.c_str());
        return;
    }
    keepNewest(folder, KeptReplays);
}

static bool endSeen;

static intptr_t endProcedure(uint32_t message, uintptr_t, intptr_t) {
    if (message == WM_KEYDOWN || message == WM_CLOSE) endSeen = true;
    return 0;
}

// At the end the window stays: the box says the replay is over, and a key (or
// closing the window) leaves.
static void waitAtTheEnd() {
    platformSetPauseKeys(0, PadNone);
    drawBoxOverFrame("THE REPLAY IS OVER", "PRESS A KEY");
    platformSetWindowProcedure(endProcedure);
    endSeen = false;
    while (!endSeen && platformHasWindow()) {
        if (!platformDispatchOneMessage())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    platformSetWindowProcedure(windowProcedure);
}

int playReplayInWindow(const std::string& path) {
    Replay replay;
    std::string why;
    if (!readReplayFile(path, replay, why)) {
        std::fprintf(stderr, "soccer: %s: %s\n", path.c_str(), why.c_str());
        return 1;
    }
    if (!gameStartup(true, replay.startupSeed)) {
        std::fprintf(stderr, "soccer: no display: %s\n", platformError());
        return 1;
    }
    replayPlaybackStart(replay, true);
    // A pause (the focus, P) runs no passes; the pace waits too. Fast forward
    // and skips play the passes between two shown ones without drawing.
    while (screenFlow.gameRunning && !replayPlaybackDone()) {
        const int speed = replayWatchSpeed();
        for (int i = speed == 0 ? -15 : 1 - speed; i < 0; i++) {
            if (replayPlaybackDone() || platformPauseCause() != PauseCause::None) break;
            gamePassWithoutDrawing();
        }
        gameTurn();
    }
    const bool toTheEnd = screenFlow.gameRunning && replayPlaybackPasses() == replay.passCount;
    replayPlaybackStop();
    if (toTheEnd) waitAtTheEnd();
    gameShutdown();
    return 0;
}
