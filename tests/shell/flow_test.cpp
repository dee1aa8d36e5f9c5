// The flow between the screens, driven through whole loop passes.
#include "audio/output.h"
#include "audio/stream.h"
#include "match/state.h"
#include "render/transform.h"
#include "shell/display.h"
#include "shell/options.h"
#include "shell/screens.h"
#include "shell/timing.h"
#include "tests/shell/shell_fixture.h"

using Flow = HeadlessGame;

// From the boot screen to the title with ESC on it; the title follows 100 ticks later.
static void reachTitle() {
    pressKey(VK_ESCAPE);
    runPasses(49);
    ASSERT_TRUE(screenFlow.titleActive);
}

// Two-player match after F2, its first-half box closed once it shows READY.
static void startTwoPlayerMatch() {
    reachTitle();
    pressKey(VK_F2);
    runPasses(51);
    pressKey(VK_RETURN);
    ASSERT_FALSE(matchScreen.messageShowing);
}

TEST_F(Flow, BootScreenGivesWayToTheTitleAt1200Ticks) {
    runPasses(1);
    EXPECT_EQ(frameScale, 2.0f);
    EXPECT_EQ(screenFlow.bootTime, 2.0f);
    runPasses(598);
    EXPECT_TRUE(screenFlow.bootActive);
    EXPECT_FALSE(screenFlow.titleActive);
    EXPECT_EQ(screenFlow.bootTime, 1198.0f);
    runPasses(1);
    EXPECT_FALSE(screenFlow.bootActive);
    EXPECT_TRUE(screenFlow.titleActive);
    // The title music starts with the title.
    EXPECT_EQ(output.currentSong, musicSong);
    // The scroller moves only from the next pass on; it moved 3 pixels in this one.
    EXPECT_EQ(titleScroller.scrollFrac, 3.0f);
    EXPECT_EQ(titleScroller.titlePhase, 637.0f);
}

TEST_F(Flow, EscapeShortensTheBootScreenTo1100) {
    runPasses(9);
    pressKey(VK_ESCAPE); // the boot screen then adds this pass's 2 ticks
    EXPECT_EQ(screenFlow.bootTime, 1102.0f);
    EXPECT_TRUE(screenFlow.bootActive);
    runPasses(48);
    EXPECT_TRUE(screenFlow.bootActive);
    runPasses(1);
    EXPECT_TRUE(screenFlow.titleActive);
    EXPECT_FALSE(screenFlow.bootActive);
}

TEST_F(Flow, EscapeLateInTheBootScreenMovesItBack) {
    runPasses(575); // bootTime 1150
    pressKey(VK_ESCAPE);
    EXPECT_EQ(screenFlow.bootTime, 1102.0f);
    // Keys other than ESC do nothing on the boot screen.
    pressKey(VK_F1);
    pressKey(VK_F9);
    EXPECT_TRUE(screenFlow.bootActive);
    EXPECT_EQ(options.matchDuration, 90);
    EXPECT_FALSE(matchScreen.messageShowing);
}

TEST_F(Flow, F1AndF2StartAMatchWithTheFirstHalfBox) {
    reachTitle();
    EXPECT_EQ(camera.position.z, StartCameraDepth);
    pressKey(VK_F1);
    EXPECT_FALSE(screenFlow.titleActive);
    EXPECT_TRUE(match.singlePlayer);
    // The camera follow carries on from the start-up camera, 1/80 of the way
    // toward the action (from depth 0 the second frame jumped by a fifth).
    EXPECT_NEAR(cameraFollow.cameraDepth, StartCameraDepth, 0.01f);
    EXPECT_EQ(camera.position.z, cameraFollow.cameraDepth);
    EXPECT_TRUE(matchScreen.messageShowing);
    EXPECT_EQ(matchScreen.messageKind, 2);
    EXPECT_FLOAT_EQ(matchScreen.messageTimer, 0.98f); // set to 1, then this pass ran it down
    EXPECT_EQ(matchScreen.matchClock, 90.0f);         // the clock stands while a box shows
    EXPECT_EQ(match.playState, KickOff);
    EXPECT_EQ(match.kickOffTeamB, 0);
    EXPECT_GE(match.ballOwner, 0); // team A's kicker holds the ball
    EXPECT_LT(match.ballOwner, 6);
    // Leaving the title stops its music.
    EXPECT_EQ(output.currentSong, nullptr);

    // ESC leaves for the title and, in single-player mode, also takes the
    // pending kick-off, since any key does.
    pressKey(VK_ESCAPE);
    EXPECT_TRUE(screenFlow.titleActive);
    EXPECT_EQ(match.playState, InPlay);
    EXPECT_EQ(output.currentSong, musicSong);
    pressKey(VK_F2);
    EXPECT_FALSE(screenFlow.titleActive);
    EXPECT_FALSE(match.singlePlayer);
    EXPECT_EQ(match.playState, KickOff);
    EXPECT_EQ(matchScreen.messageKind, 2);
}

TEST_F(Flow, HalfBoxClosesOnlyOnceItShowsReady) {
    reachTitle();
    pressKey(VK_F2);
    runPasses(10);
    pressKey(VK_RETURN);
    EXPECT_TRUE(matchScreen.messageShowing);
    runPasses(36);
    EXPECT_GT(matchScreen.messageTimer, 0.03f);
    pressKey(VK_RETURN);
    EXPECT_TRUE(matchScreen.messageShowing);
    runPasses(2);
    EXPECT_LT(matchScreen.messageTimer, 0.0f);
    pressKey(VK_RETURN);
    EXPECT_LE(matchScreen.messageTimer, 0.0f);
    EXPECT_FALSE(matchScreen.messageShowing);
    // In two-player mode the key does not take the kick-off.
    EXPECT_EQ(match.playState, KickOff);
}

TEST_F(Flow, KickOffStartsOnAKey) {
    // Single player: the key that closes the box also takes the kick-off.
    reachTitle();
    pressKey(VK_F1);
    runPasses(51);
    EXPECT_EQ(match.playState, KickOff);
    pressKey(VK_SPACE);
    EXPECT_FALSE(matchScreen.messageShowing);
    EXPECT_EQ(match.playState, InPlay);
    float clock = matchScreen.matchClock;
    runPasses(10);
    EXPECT_LT(matchScreen.matchClock, clock);

    // Two players: team A's human starts with his action key.
    pressKey(VK_F2);
    runPasses(51);
    pressKey(VK_RETURN);
    EXPECT_EQ(match.playState, KickOff);
    runPasses(10);
    EXPECT_EQ(match.playState, KickOff);
    EXPECT_EQ(matchScreen.matchClock, 90.0f);
    headlessSetKeyHeld(VK_CONTROL, true);
    runPasses(3);
    headlessSetKeyHeld(VK_CONTROL, false);
    runPasses(3);
    EXPECT_EQ(match.playState, InPlay);
}

TEST_F(Flow, GoalIsCelebratedFor400TicksThenTheConcedingSideKicksOff) {
    startTwoPlayerMatch();
    options.soundOn = 0; // the celebration's music plays whatever the sound option
    // Team A attacks -y in the first half: a loose ball rolls over that goal
    // line inside the goal mouth, with team B's goalkeeper out of the way.
    match.playState = InPlay;
    match.ballOwner = -1;
    match.ball = Ball{};
    match.ball.x = 0.1f;
    match.ball.y = -0.975f;
    match.ball.dirY = -1;
    match.ball.speed = 0.01f;
    match.players[GoalkeeperB].x = 0.6f;
    runPasses(1);
    ASSERT_TRUE(match.goalScored);
    EXPECT_EQ(match.score[1], 1);
    EXPECT_EQ(match.kickOffTeamB, 1);
    EXPECT_EQ(output.currentSong, musicSong);
    float clock = matchScreen.matchClock;
    runPasses(49, 100); // 392 ticks
    EXPECT_TRUE(match.goalScored);
    EXPECT_EQ(match.playState, KickOff);
    EXPECT_EQ(matchScreen.matchClock, clock);
    runPasses(2, 100);
    EXPECT_FALSE(match.goalScored);
    EXPECT_EQ(output.currentSong, nullptr);
    EXPECT_EQ(match.playState, KickOff);
    EXPECT_GE(match.ballOwner, 6); // team B's kicker holds the ball
    EXPECT_EQ(match.activePlayerB, 6);
    EXPECT_EQ(match.score[1], 1);
}

TEST_F(Flow, GameOverAndSpaceBackToTheTitle) {
    startTwoPlayerMatch();
    match.secondHalf = 1;
    match.playState = InPlay;
    matchScreen.messageTimer = -1.5f; // as the second half's box left it
    matchScreen.matchClock = 0.01f;
    runPasses(2);
    EXPECT_TRUE(matchScreen.messageShowing);
    EXPECT_EQ(matchScreen.messageKind, 1);
    // Any key but SPACE leaves the result up.
    pressKey(VK_RETURN);
    EXPECT_TRUE(matchScreen.messageShowing);
    pressKey(VK_SPACE);
    EXPECT_FALSE(matchScreen.messageShowing);
    EXPECT_TRUE(screenFlow.titleActive);
    EXPECT_EQ(output.currentSong, musicSong);
    // ESC on the title ends the program.
    pressKey(VK_ESCAPE);
    EXPECT_FALSE(screenFlow.gameRunning);
}

TEST_F(Flow, LosingTheFocusOrClosingEndsTheGame) {
    headlessPostMessage(WM_ACTIVATE, WA_ACTIVE);
    runPasses(1);
    EXPECT_TRUE(screenFlow.gameRunning);
    headlessPostMessage(WM_ACTIVATE, WA_CLICKACTIVE);
    runPasses(1);
    EXPECT_FALSE(screenFlow.gameRunning);
    screenFlow.gameRunning = 1;
    headlessPostMessage(WM_CLOSE, 0);
    runPasses(1);
    EXPECT_FALSE(screenFlow.gameRunning);
}

TEST_F(Flow, OneMessagePerPass) {
    reachTitle();
    headlessKeyDown(VK_F3);
    headlessKeyDown(VK_F3);
    headlessKeyDown(VK_F3);
    runPasses(1);
    EXPECT_EQ(match.computerStrength, 80);
    runPasses(1);
    EXPECT_EQ(match.computerStrength, 100);
    runPasses(1);
    EXPECT_EQ(match.computerStrength, 20);
}

TEST_F(Flow, TimerWrapBetweenTwoPassesGivesTheTrueFrame) {
    headlessSetClock(0xFFFFFFE0u);
    runPasses(1, 25); // measured from the start-up reading at 0: a huge frame
    EXPECT_GT(frameScale, 1000.0f);
    runPasses(1, 25); // 0xFFFFFFF9 + 25 wraps to 0x12
    EXPECT_EQ(frameScale, 2.0f);
}
