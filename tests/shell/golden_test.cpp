// Whole frames of the game, pixel for pixel, against the pictures in
// tests/shell/golden/. SOCCER_UPDATE_GOLDEN=1 writes them anew.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "render/device.h"
#include "tests/render/render_test_util.h"
#include "tests/shell/shell_fixture.h"
#include "tools/snapshot/snapshot.h"

static const std::string goldenDir = std::string(SOCCER_SOURCE_DIR) + "/tests/shell/golden/";

static bool updatingGoldens() {
    const char* update = std::getenv("SOCCER_UPDATE_GOLDEN");
    return update && std::string(update) == "1";
}

// Where a run writes the shot of golden `name`: over the golden when updating.
static std::string shotPath(const std::string& name) {
    return updatingGoldens() ? goldenDir + name
                             : std::string(SOCCER_BINARY_DIR) + "/shell_test_" + name;
}

// Runs soccer-snapshot with `args` (the program's name first).
static void runArgs(std::vector<const char*> args) {
    SnapshotPlan plan;
    ASSERT_TRUE(parseSnapshotArgs(static_cast<int>(args.size()), const_cast<char**>(args.data()),
                                  plan, stderr));
    ASSERT_EQ(runSnapshot(plan, stderr), 0);
}

// The picture at `path` against golden `name`.
static void expectSamePicture(const std::string& path, const std::string& name) {
    int w = 0, h = 0;
    std::vector<uint32_t> got;
    ASSERT_TRUE(readPng(path.c_str(), w, h, got));
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 480);
    EXPECT_EQ(compareWithPng(got.data(), goldenDir + name), "");
}

// Runs soccer-snapshot with `args` plus a shot of pass `pass`, compares it.
static void expectGolden(const char* name, int pass, std::vector<const char*> args) {
    const std::string path = shotPath(name);
    const std::string shot = std::to_string(pass) + ":" + path;
    args.insert(args.begin(), "soccer-snapshot");
    args.insert(args.end(), {"--shot", shot.c_str()});
    runArgs(args);
    expectSamePicture(path, name);
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

// The README's pictures: the one run of tools/snapshot/readme_screenshots.args
// (the readme-screenshots target), its shots named after their goldens.
TEST(GoldenFrames, ReadmeScreenshots) {
    std::ifstream file(std::string(SOCCER_SOURCE_DIR) + "/tools/snapshot/readme_screenshots.args");
    ASSERT_TRUE(file);
    std::vector<std::string> words, names;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        for (std::string word; in >> word;) {
            if (!words.empty() && words.back() == "--shot") {
                const size_t colon = word.find(':');
                names.push_back(word.substr(colon + 1));
                word = word.substr(0, colon + 1) + shotPath(names.back());
            }
            words.push_back(word);
        }
    }
    // Every picture the README shows is one of them.
    std::ifstream readme(std::string(SOCCER_SOURCE_DIR) + "/README.md");
    const std::string shown = "(tests/shell/golden/";
    for (std::string line; std::getline(readme, line);) {
        const size_t at = line.find(shown);
        if (at == std::string::npos) continue;
        const std::string name =
            line.substr(at + shown.size(), line.find(')', at) - at - shown.size());
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    }
    std::vector<const char*> args = {"soccer-snapshot"};
    for (const std::string& w : words) args.push_back(w.c_str());
    runArgs(args);
    for (const std::string& name : names) expectSamePicture(shotPath(name), name);
}
