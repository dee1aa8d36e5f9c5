// Whole frames with the real artwork, pixel for pixel against the committed
// images. Regenerate with SOCCER_UPDATE_GOLDEN=1 after a deliberate change.
#include <gtest/gtest.h>

#include "render/device.h"
#include "render/device_internal.h"
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

// The same picture from every span loop the machine runs.
template <typename Draw> void expectGolden(const char* name, Draw draw) {
    for (SpanPath path : {SpanPerPixel, SpanPortable, SpanSse2, SpanAvx2}) {
        setSpanPath(path);
        sampleStartUp(); // states as a fresh start leaves them
        draw();
        EXPECT_EQ(compareWithGolden(name), "") << "loops " << spanPath();
    }
}

TEST_F(Golden, MatchAtTheStartCamera) {
    expectGolden("match_near", [] { twoFrames(-0.2f); });
}

TEST_F(Golden, MatchAtAWideCamera) {
    expectGolden("match_wide", [] { twoFrames(-1.1f); });
}

TEST_F(Golden, TextAndSprites) {
    expectGolden("title_screen", drawSampleTitleScreen);
}

} // namespace
