// The instant goal replay shows the seconds before a goal again and leaves the
// match exactly as it would have gone on: the recorded match still ends in
// its recorded state.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "match/state.h"
#include "render/device.h"
#include "shell/game.h"
#include "shell/instant_replay.h"
#include "shell/replay.h"
#include "shell/replay_file.h"
#include "shell/state_codec.h"
#include "tests/shell/shell_fixture.h"

TEST_F(HeadlessGame, InstantReplayLeavesTheMatchAsItWas) {
    Replay replay;
    std::string why;
    ASSERT_TRUE(readReplayFile(SOCCER_SOURCE_DIR "/tests/traces/computer-20.replay", replay, why));
    replayPlaybackStart(replay, false);
    // Passes without drawing, each kept as the window's loop keeps them,
    // up to the first goal.
    while (!replayPlaybackDone() && !match.goalScored) {
        gamePassWithoutDrawing();
        instantReplayKeep(gameLoop.lastFrameMs);
    }
    ASSERT_TRUE(match.goalScored);
    std::vector<uint8_t> before(stateBytes()), after(stateBytes());
    encodeState(before.data());
    const uint32_t passes = replayPlaybackPasses();
    ASSERT_TRUE(instantReplayRequest());
    int turnsShown = 0;
    while (instantReplayShowing()) {
        gameTurn();
        turnsShown++;
        if (instantReplayShowing()) {
            EXPECT_GT(countPixels(248, 440, 392, 464, 0xFFFFFF), 200); // "REPLAY"
        }
    }
    encodeState(after.data());
    EXPECT_EQ(firstDifference(after.data(), before.data(), stateBytes()), "");
    EXPECT_EQ(replayPlaybackPasses(), passes); // no pass ran meanwhile
    // Five seconds of 16 ms passes, and the turn that ends the replay.
    EXPECT_EQ(turnsShown, 5000 / 16 + 1 + 1);
    while (!replayPlaybackDone()) gamePassWithoutDrawing();
    EXPECT_TRUE(replayPlaybackFaithful());
    EXPECT_EQ(replayStateHash(), replay.endHash);
    replayPlaybackStop();

    instantReplayOffered = false; // a network match: R does nothing
    match.goalScored = 1;
    EXPECT_FALSE(instantReplayRequest());
    instantReplayOffered = true;
}

// The pause's box is drawn over the last frame and leaves the game as it was.
TEST_F(HeadlessGame, PausedBoxLeavesTheGameAsItWas) {
    pressKey(VK_ESCAPE);
    runPasses(60);
    pressKey(VK_F2);
    runPasses(100);
    pressKey(VK_SPACE); // closes the first half's box
    runPasses(20);
    std::vector<uint8_t> before(stateBytes()), after(stateBytes());
    encodeState(before.data());
    const RenderStates states = graphics.states;
    EXPECT_EQ(countPixels(116, 296, 524, 480, 0xA397FF), 0);
    showPaused();
    EXPECT_GT(countPixels(116, 296, 524, 480, 0xA397FF), 15000); // the box's light frame
    encodeState(after.data());
    EXPECT_EQ(firstDifference(after.data(), before.data(), stateBytes()), "");
    EXPECT_EQ(std::memcmp(&states, &graphics.states, sizeof states), 0);
}
