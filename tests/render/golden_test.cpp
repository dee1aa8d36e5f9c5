// Whole frames with the real artwork, pixel for pixel against the committed
// images. Regenerate with SOCCER_UPDATE_GOLDEN=1 after a deliberate change.
#include <gtest/gtest.h>

#include "render/device.h"
#include "tests/render/render_test_util.h"
#include "tests/render/sample_match.h"

namespace {

class Golden : public ::testing::Test {
  protected:
    void SetUp() override { sampleStartUp(); }
    void TearDown() override { releaseGraphics(); }
};

TEST_F(Golden, ArtworkLoaded) {
    for (Texture* t : {grassTexture, ringTexture, markingsTexture, playerShadowTexture, ballTexture,
                       ballShadowTexture, goalTexture, goalShadowTexture, fontTexture,
                       mascotTexture, mascotShadowTexture, hudPanelTexture})
        ASSERT_NE(t, nullptr);
    for (Texture* t : kitTextures) ASSERT_NE(t, nullptr);
}

// The second of two frames: states carried over from the first (anisotropic
// grass after the first frame's text) are part of the picture.
void twoFrames(float depth) {
    sampleMatchState();
    drawSampleMatchFrame(depth);
    sampleMatchState();
    drawSampleMatchFrame(depth);
}

TEST_F(Golden, MatchAtTheStartCamera) {
    twoFrames(-0.2f);
    EXPECT_EQ(compareWithGolden("match_near"), "");
}

TEST_F(Golden, MatchAtAWideCamera) {
    twoFrames(-1.1f);
    EXPECT_EQ(compareWithGolden("match_wide"), "");
}

TEST_F(Golden, TextAndSprites) {
    drawSampleTitleScreen();
    EXPECT_EQ(compareWithGolden("title_screen"), "");
}

} // namespace
