// The option keys and the music rule, through the window procedure.
#include "audio/output.h"
#include "audio/stream.h"
#include "match/state.h"
#include "shell/display.h"
#include "shell/options.h"
#include "shell/screens.h"
#include "tests/shell/shell_fixture.h"

using Options = HeadlessGame;

static void key(int vk) {
    windowProcedure(WM_KEYDOWN, static_cast<uintptr_t>(vk), 0);
}

// The title screen, as the end of the boot screen leaves it.
static void onTitle() {
    screenFlow.bootActive = 0;
    screenFlow.titleActive = 1;
    applyMusicRule();
}

TEST_F(Options, StrengthAndDurationCycle) {
    onTitle();
    const int strengths[] = {80, 100, 20, 40, 60};
    for (int s : strengths) {
        key(VK_F3);
        EXPECT_EQ(match.computerStrength, s);
    }
    const int durations[] = {120, 150, 180, 90};
    for (int d : durations) {
        key(VK_F9);
        EXPECT_EQ(options.matchDuration, d);
    }
    // F3 works in a match, F9 only on the title screen.
    key(VK_F2);
    key(VK_F3);
    EXPECT_EQ(match.computerStrength, 80);
    key(VK_F9);
    EXPECT_EQ(options.matchDuration, 90);
}

TEST_F(Options, KitColoursSkipThoseTaken) {
    onTitle();
    key(VK_F5);
    EXPECT_EQ(options.teamColour[0], 4);
    key(VK_F6); // 2, 3 and 4 are taken
    EXPECT_EQ(options.teamColour[1], 5);
    key(VK_F7);
    EXPECT_EQ(options.teamColour[2], 6);
    key(VK_F8);
    EXPECT_EQ(options.teamColour[3], 7);
    options.teamColour[0] = 9;
    key(VK_F5); // wraps to the first free index from 0
    EXPECT_EQ(options.teamColour[0], 0);
    options.teamColour[0] = 9;
    options.teamColour[1] = 0;
    key(VK_F5);
    EXPECT_EQ(options.teamColour[0], 1);
    options.teamColour[0] = 4;
    options.teamColour[1] = 5;
    EXPECT_EQ(nextFreeColour(4), 8); // 5, 6 and 7 are worn
}

TEST_F(Options, MusicRuleAtEachEvent) {
    ASSERT_NE(musicSong, nullptr);
    ASSERT_NE(kickSong, nullptr);
    onTitle();
    EXPECT_EQ(output.currentSong, musicSong);
    // F4 off and on again on the title; on restarts it.
    key(VK_F4);
    EXPECT_FALSE(options.soundOn);
    EXPECT_EQ(output.currentSong, nullptr);
    key(VK_F4);
    EXPECT_EQ(output.currentSong, musicSong);
    // A match stops it; F4 in a match keeps it stopped.
    key(VK_F2);
    EXPECT_EQ(output.currentSong, nullptr);
    key(VK_F4);
    EXPECT_EQ(output.currentSong, nullptr);
    // A goal plays it even with the sound off; F4 then restarts it.
    playSong(kickSong, 0);
    match.goalScored = 1;
    applyMusicRule();
    EXPECT_EQ(output.currentSong, musicSong);
    key(VK_F4);
    EXPECT_EQ(output.currentSong, musicSong);
    match.goalScored = 0;
    // ESC in a match returns to the title with its music.
    options.soundOn = 1;
    key(VK_ESCAPE);
    EXPECT_TRUE(screenFlow.titleActive);
    EXPECT_EQ(output.currentSong, musicSong);
    // A sound effect silences the music until the rule runs again.
    playSong(kickSong, 0);
    EXPECT_EQ(output.currentSong, kickSong);
    key(VK_F3);
    EXPECT_EQ(output.currentSong, kickSong);
    // SPACE after a game over: back to the title and its music.
    matchScreen.messageKind = 1;
    matchScreen.messageShowing = 1;
    key(VK_SPACE);
    EXPECT_EQ(output.currentSong, musicSong);
    EXPECT_FALSE(matchScreen.messageShowing);
}

TEST_F(Options, NewMatchResetStartsTheFirstHalf) {
    onTitle();
    options.matchDuration = 150;
    match.score[0] = 3;
    match.score[1] = 2;
    match.secondHalf = 1;
    match.endSign = -1;
    match.goalScored = 1;
    match.goalTimer = 1.0f;
    match.kickOffTeamB = 1;
    key(VK_F1);
    EXPECT_EQ(matchScreen.matchClock, 150.0f);
    EXPECT_EQ(match.score[0], 0);
    EXPECT_EQ(match.score[1], 0);
    EXPECT_EQ(match.secondHalf, 0);
    EXPECT_EQ(match.endSign, 1);
    EXPECT_EQ(match.goalScored, 0);
    EXPECT_EQ(match.goalTimer, 0.0f);
    EXPECT_EQ(match.kickOffTeamB, 0);
    EXPECT_EQ(matchScreen.messageKind, 2);
    EXPECT_EQ(matchScreen.messageTimer, 1.0f);
    EXPECT_TRUE(matchScreen.messageShowing);
    EXPECT_EQ(match.playState, KickOff);
    EXPECT_EQ(match.activePlayerA, 0);
    // The kick-off is placed after the ends and the kicking side are reset, and
    // the music rule comes last, with the goal already cleared.
    EXPECT_EQ(match.activePlayerB, 7);
    EXPECT_GT(match.players[GoalkeeperA].y, 0.9f);
    EXPECT_EQ(output.currentSong, nullptr);
}

TEST_F(Options, SinglePlayerKickOffSwallowsTheKey) {
    onTitle();
    key(VK_F1);
    matchScreen.messageTimer = 0.5f; // the box still shows its digits
    key(VK_F3);
    EXPECT_EQ(match.playState, InPlay);
    EXPECT_EQ(match.computerStrength, 60);   // used for nothing else
    EXPECT_TRUE(matchScreen.messageShowing); // and the box stays up
    matchScreen.messageTimer = -0.1f;
    key(VK_F3);
    EXPECT_FALSE(matchScreen.messageShowing);
    EXPECT_EQ(match.computerStrength, 80);
}

// A record's fields as "name=value" lines, through its field list.
template <class Record> static std::string fieldsOf(Record& r) {
    std::string text;
    auto put = [&](const char* name, auto v) {
        text += std::string(name) + "=" + std::to_string(v) + "\n";
    };
    forEachField(r, [&](const char* name, auto& v, auto...) {
        if constexpr (std::is_array_v<std::remove_reference_t<decltype(v)>>) {
            for (auto element : v) put(name, element);
        } else {
            put(name, v);
        }
    });
    return text;
}

// A new match puts back the match's own state and the message box and clock,
// and nothing else: the options, the camera and the screen flow (but that
// the title goes) live on, and so do the computer's strength and the number
// of players.
TEST_F(Options, NewMatchKeepsWhatOutlivesAMatch) {
    onTitle();
    for (int vk : {VK_F3, VK_F4, VK_F5, VK_F8, VK_F9}) key(vk);
    cameraFollow = {0.25f, -0.5f, -0.75f};
    screenFlow.bootTime = 1300;
    GameOptions optionsBefore = options;
    CameraFollow cameraBefore = cameraFollow;
    ScreenFlow flowBefore = screenFlow;
    flowBefore.titleActive = 0;
    key(VK_F2);
    EXPECT_EQ(fieldsOf(options), fieldsOf(optionsBefore));
    EXPECT_EQ(fieldsOf(cameraFollow), fieldsOf(cameraBefore));
    EXPECT_EQ(fieldsOf(screenFlow), fieldsOf(flowBefore));
    EXPECT_EQ(match.computerStrength, 80);
    EXPECT_EQ(match.singlePlayer, 0);
    EXPECT_EQ(options.matchDuration, 120);
    EXPECT_EQ(matchScreen.matchClock, 120.0f);
}
