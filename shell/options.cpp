#include "shell/options.h"

#include "audio/output.h"
#include "audio/stream.h"
#include "match/events.h"
#include "match/restarts.h"
#include "match/state.h"
#include "platform/platform.h"
#include "shell/controls_screen.h"
#include "shell/display.h"
#include "shell/game.h"
#include "shell/instant_replay.h"
#include "shell/screens.h"
#include "shell/statistics.h"
#include "shell/timing.h"

const uint32_t teamColourTable[10] = {
    0x0000BB, // blue
    0x595999, // grey-blue
    0xBB0000, // red
    0x995959, // dull red
    0x00BB00, // green
    0x599959, // dull green
    0xF5DF4C, // yellow
    0xE2E2E2, // light grey
    0xF3A43E, // orange
    0x71623F, // brown
};
GameOptions options;

int32_t nextFreeColour(int32_t c) {
    // The entry being changed still holds its old value during the search, so
    // the result is always a colour that no kit wears yet.
    do {
        c = (c == 9) ? 0 : c + 1;
    } while (c == options.teamColour[0] || c == options.teamColour[1] ||
             c == options.teamColour[2] || c == options.teamColour[3]);
    return c;
}

static SongHook songHook;

void setSongHook(SongHook hook) {
    songHook = hook;
}

static void startSong(Song* song, int loop) {
    if (songHook) {
        songHook(song, loop);
    } else {
        playSong(song, loop);
    }
}

static void endSong(Song* song) {
    if (songHook) {
        songHook(song, -1);
    } else {
        stopSong(song);
    }
}

void applyMusicRule() {
    // A song that could not be loaded is never played.
    if (!musicSong) return;
    if ((options.soundOn && screenFlow.titleActive) || match.goalScored) {
        startSong(musicSong, 1);
    } else {
        endSong(musicSong);
    }
}

void carryOutMatchEvents() {
    for (const MatchEvent& e : matchEvents) {
        Song* sound = e.kind == MatchEventKind::Kick ? kickSong : challengeSong;
        for (int n = 0; n < e.sounds; n++) startSong(sound, 0);
        if (e.kind == MatchEventKind::Goal) applyMusicRule();
    }
}

void newMatchReset() {
    gameLoop.newMatchCount++;
    statisticsReset();
    instantReplayClear();
    match.secondHalf = 0;
    match.endSign = 1;
    match.goalScored = 0;
    match.goalTimer = 0;
    match.score[1] = 0;
    match.score[0] = 0;
    matchScreen = MatchScreen{.messageShowing = 1,
                              .messageKind = MessageFirstHalf,
                              .messageTimer = 1.0f,
                              .matchClock = static_cast<float>(options.matchDuration)};
    match.kickOffTeamB = 0;
    resetForKickOff();
    applyMusicRule();
}

static void handleOptionKey(uintptr_t key) {
    switch (key) {
    case VK_SPACE:
        if (matchScreen.messageKind == MessageGameOver) {
            matchScreen.messageShowing = 0;
            screenFlow.titleActive = 1;
            applyMusicRule();
        }
        break;
    case VK_F1:
    case VK_F2:
        screenFlow.titleActive = 0;
        match.singlePlayer = (key == VK_F1);
        newMatchReset();
        break;
    case VK_F3:
        match.computerStrength = match.computerStrength % 100 + 20;
        break;
    case VK_F4:
        options.soundOn = !options.soundOn;
        applyMusicRule();
        break;
    case VK_F5:
    case VK_F6:
    case VK_F7:
    case VK_F8: {
        int k = static_cast<int>(key - VK_F5);
        options.teamColour[k] = nextFreeColour(options.teamColour[k]);
        break;
    }
    case VK_F9:
        if (screenFlow.titleActive) {
            options.matchDuration += 30;
            if (options.matchDuration > 180) options.matchDuration = 90;
        }
        break;
    default:
        break;
    }
}

// The keys that open and work the controls screen, on the title. True when
// the key was theirs.
static bool controlsScreenTakes(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message != WM_KEYDOWN || screenFlow.bootActive || !screenFlow.titleActive) return false;
    if (controlsScreen.active) {
        controlsScreenKey(static_cast<int>(wParam), KeyScancode(lParam));
        return true;
    }
    if (wParam != VK_F11) return false;
    openControlsScreen();
    return true;
}

intptr_t windowProcedure(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (controlsScreenTakes(message, wParam, lParam)) return 0;
    // R during a goal's celebration shows the goal again. (As any key it did
    // nothing there: the celebration holds the kick-off every frame.)
    if (message == WM_KEYDOWN && wParam == 'R' && match.goalScored && !screenFlow.titleActive &&
        !screenFlow.bootActive) {
        instantReplayRequest();
        return 0;
    }
    // Losing the focus, or being activated by a click, ends the program.
    if (message == WM_ACTIVATE && wParam != WA_ACTIVE) {
        screenFlow.gameRunning = 0;
        return 0;
    }
    if (message == WM_CLOSE) {
        screenFlow.gameRunning = 0;
        return 0;
    }
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        if (screenFlow.bootActive) {
            screenFlow.bootTime = 1100;
        } else if (screenFlow.titleActive) {
            screenFlow.gameRunning = 0;
        } else {
            screenFlow.titleActive = 1;
            applyMusicRule();
        }
    }
    if (screenFlow.bootActive) return 0;
    if (message == WM_DESTROY) return 0; // the loop ends on gameRunning, not on a quit message
    if (message == WM_KEYDOWN) {
        // Closes a half's box once it shows READY.
        if (matchScreen.messageKind != MessageGameOver && matchScreen.messageTimer <= 0)
            matchScreen.messageShowing = 0;
        // In single-player mode any key starts a pending kick-off and does nothing else.
        if (match.playState == KickOff && match.singlePlayer) {
            match.playState = InPlay;
            return 0;
        }
        handleOptionKey(wParam);
    }
    return 0;
}
