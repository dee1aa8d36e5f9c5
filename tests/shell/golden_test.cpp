// Whole frames of the game, pixel for pixel, against the pictures in
// tests/shell/golden/. SOCCER_UPDATE_GOLDEN=1 writes them anew.
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/shell/shell_fixture.h"
#include "tools/snapshot/snapshot.h"

// Runs soccer-snapshot with `args` plus a shot of pass `pass`, compares it.
static void expectGolden(const char* name, int pass, std::vector<const char*> args) {
    const std::string golden = std::string(SOCCER_SOURCE_DIR) + "/tests/shell/golden/" + name;
    const char* update = std::getenv("SOCCER_UPDATE_GOLDEN");
    const std::string path = update && std::string(update) == "1"
                                 ? golden
                                 : std::string(SOCCER_BINARY_DIR) + "/shell_test_" + name;
    const std::string shot = std::to_string(pass) + ":" + path;
    args.insert(args.begin(), "soccer-snapshot");
    args.insert(args.end(), {"--shot", shot.c_str()});
    SnapshotPlan plan;
    ASSERT_TRUE(parseSnapshotArgs(static_cast<int>(args.size()), const_cast<char**>(args.data()),
                                  plan, stderr));
    ASSERT_EQ(runSnapshot(plan, stderr), 0);

    int w = 0, h = 0, gw = 0, gh = 0;
    std::vector<uint32_t> got, want;
    ASSERT_TRUE(readPngPixels(path, w, h, got));
    ASSERT_TRUE(readPngPixels(golden, gw, gh, want)) << golden;
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 480);
    ASSERT_EQ(gw, 640);
    ASSERT_EQ(gh, 480);
    int differing = 0, first = -1;
    for (size_t i = 0; i < got.size(); i++)
        if (got[i] != want[i] && differing++ == 0) first = static_cast<int>(i);
    EXPECT_EQ(differing, 0) << name << ": first at (" << first % 640 << ", " << first / 640
                            << "): " << std::hex << got[first] << " instead of " << want[first];
}

// 16 ms passes: frameScale 1.28, as on a display of about 60 Hz.
TEST(GoldenFrames, BootScreenLoading) {
    expectGolden("boot.png", 560, {"--frames", "560"});
}

TEST(GoldenFrames, BootScreenFlickering) {
    expectGolden("boot_flicker.png", 820, {"--frames", "820"});
}

TEST(GoldenFrames, TitleScreen) {
    expectGolden("title.png", 200, {"--frames", "200", "--key", "2:down:ESC", "--key", "3:up:ESC"});
}

TEST(GoldenFrames, MatchAtItsFirstFrame) {
    expectGolden(
        "match_first_frame.png", 200,
        {"--frames", "200", "--key", "2:down:ESC", "--key", "3:up:ESC", "--key", "200:down:F1"});
}

TEST(GoldenFrames, MessageBoxReady) {
    expectGolden("message_ready.png", 290,
                 {"--frames", "290", "--key", "2:down:ESC", "--key", "3:up:ESC", "--key",
                  "200:down:F2", "--key", "201:up:F2"});
}
