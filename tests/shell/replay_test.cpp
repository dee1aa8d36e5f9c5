// Replays: a recorded run plays back with the same states, frames and sound;
// the recorder cuts matches where they start and end; bad files are refused;
// the replay folder keeps the newest.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "shell/driver.h"
#include "shell/game.h"
#include "shell/options.h"
#include "shell/replay.h"
#include "shell/state_codec.h"
#include "tests/shell/shell_fixture.h"
#include "tools/snapshot/snapshot.h"

namespace {

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string outPath(const std::string& name) {
    return std::string(SOCCER_BINARY_DIR) + "/replay_test_" + name;
}

int runPlan(SnapshotPlan plan) {
    std::FILE* err = std::tmpfile();
    int status = runSnapshot(plan, err);
    std::fclose(err);
    return status;
}

// The boot skipped, a match against the computer left with ESC, then a match
// of two players: charges, shots, walks, a kick-off. The file holds the last.
SnapshotPlan scriptedRun() {
    SnapshotPlan plan;
    plan.frames = 480;
    plan.ms = 17;
    const char* script[][2] = {
        {"1", "ESC"},   {"80", "F1"},  {"160", "UP"},    {"170", "CTRL"},
        {"260", "ESC"}, {"270", "F2"}, {"360", "RIGHT"}, {"362", "CTRL"},
        {"390", "W"},   {"395", "B"},  {"420", "DOWN"},  {"440", "A"},
    };
    for (const auto& s : script) {
        int pass = std::atoi(s[0]);
        int hold = s[1][0] == 'C' || s[1][0] == 'B' ? 25 : 12;
        plan.keys.push_back({pass, true, snapshotKeyCode(s[1])});
        plan.keys.push_back({pass + hold, false, snapshotKeyCode(s[1])});
    }
    return plan;
}

TEST(Replay, PlaysBackWithTheSameStatesFramesAndSound) {
    const int first = 270, last = 480;
    std::string replay = outPath("run.replay");
    SnapshotPlan original = scriptedRun();
    SnapshotPlan again;
    original.record = replay.c_str();
    std::vector<std::string> names;
    names.reserve(4 * (last - first + 1));
    for (int pass = first; pass <= last; pass++) {
        int n = pass - first + 1;
        names.push_back(outPath("o" + std::to_string(pass) + ".json"));
        original.states.push_back({pass, names.back().c_str()});
        names.push_back(outPath("r" + std::to_string(n) + ".json"));
        again.states.push_back({n, names.back().c_str()});
        if (pass % 15 != 0 && pass != first) continue;
        names.push_back(outPath("o" + std::to_string(pass) + ".png"));
        original.shots.push_back({pass, names.back().c_str()});
        names.push_back(outPath("r" + std::to_string(n) + ".png"));
        again.shots.push_back({n, names.back().c_str()});
    }
    std::string wavO = outPath("o.wav"), wavR = outPath("r.wav");
    original.wav = wavO.c_str();
    again.wav = wavR.c_str();
    again.replay = replay.c_str();
    ASSERT_EQ(runPlan(original), 0);
    ASSERT_EQ(runPlan(again), 0);

    for (size_t i = 0; i < original.states.size(); i++)
        ASSERT_EQ(readBytes(original.states[i].path), readBytes(again.states[i].path))
            << "state of pass " << original.states[i].pass;
    for (size_t i = 0; i < original.shots.size(); i++)
        ASSERT_EQ(readBytes(original.shots[i].path), readBytes(again.shots[i].path))
            << "frame of pass " << original.shots[i].pass;
    // The replay's sound is the original's from the pass that started the match.
    std::string o = readBytes(wavO), r = readBytes(wavR);
    ASSERT_GT(r.size(), 44u + 100000);
    ASSERT_LT(r.size(), o.size());
    EXPECT_TRUE(o.compare(o.size() - (r.size() - 44), r.size() - 44, r, 44) == 0);
    EXPECT_NE(r.find_first_not_of('\0', 44), std::string::npos); // the kicks are heard
}

void collect(const std::vector<uint8_t>& file, void* files) {
    static_cast<std::vector<std::vector<uint8_t>>*>(files)->push_back(file);
}

// A match runs from the pass that handled F1 or F2 to the pass that left it,
// or to the pass before the next match; each plays back to its recorded end,
// whatever the shell did between passes.
TEST_F(HeadlessGame, RecordsEachMatchFromItsStartToItsEnd) {
    std::vector<std::vector<uint8_t>> files;
    replayRecorderStart(collect, &files);
    pressKey(VK_ESCAPE);
    runPasses(60); // the title
    pressKey(VK_F1);
    runPasses(4);
    // A pause in a window runs no passes; the next is measured as the last was.
    headlessAdvanceClock(5000);
    gameLoop.previousTimestamp = platformMilliseconds() - 25;
    runPasses(5);
    pressKey(VK_ESCAPE); // left for the title: kept
    runPasses(5);
    pressKey(VK_F2);
    runPasses(4);
    pressKey(VK_F1); // another match
    runPasses(3);
    windowProcedure(WM_CLOSE, 0, 0); // closed during a pause, between passes
    replayRecorderStop();            // the end of the program
    ASSERT_EQ(files.size(), 3u);
    const uint32_t passes[3] = {11, 5, 4};
    for (int k = 0; k < 3; k++) {
        Replay r;
        std::string why;
        ASSERT_TRUE(readReplay(files[k].data(), files[k].size(), r, why)) << why;
        EXPECT_EQ(r.passCount, passes[k]);
        replayPlaybackStart(r, false);
        while (!replayPlaybackDone()) gamePass();
        EXPECT_TRUE(replayPlaybackFaithful());
        replayPlaybackStop();
        EXPECT_EQ(replayStateHash(), r.endHash) << "match " << k;
    }
}

// A short recorded match to break in every way.
std::vector<uint8_t> shortReplay() {
    std::vector<std::vector<uint8_t>> files;
    DriverOptions o = defaultDriverOptions();
    o.maxFrames = 300;
    o.record = 1;
    replayRecorderStart(collect, &files);
    playMatch(o);
    replayRecorderStop();
    return files.at(0);
}

TEST(Replay, RefusesABadFileWithOneLine) {
    const std::vector<uint8_t> good = shortReplay();
    Replay r;
    std::string why;
    ASSERT_TRUE(readReplay(good.data(), good.size(), r, why)) << why;
    for (size_t n = 0; n < good.size(); n++)
        ASSERT_FALSE(readReplay(good.data(), n, r, why)) << "truncated to " << n;

    struct Case {
        const char* reason;
        std::vector<uint8_t> bytes;
    };
    auto changed = [&](size_t at, uint8_t v) {
        std::vector<uint8_t> b = good;
        b[at] = v;
        return b;
    };
    auto rewritten = [&](auto change) {
        Replay copy;
        std::string ignored;
        readReplay(good.data(), good.size(), copy, ignored);
        change(copy);
        return writeReplay(copy);
    };
    std::vector<uint8_t> trailing = good;
    trailing.push_back(0);
    const size_t passCountAt = 8 + 2 + 1 + r.gameVersion.size() + 4 + 4 + 2 + stateBytes() + 1;
    const size_t ballOwnerAt = 12 * 54 + 36;
    Case cases[] = {
        {"not a replay file", changed(0, 'X')},
        {"made by a newer game (format 2", changed(8, 2)},
        {"a count of 4294967295 passes",
         [&] {
             std::vector<uint8_t> b = good;
             b.erase(b.begin() + long(passCountAt), b.begin() + long(passCountAt) + 2);
             b.insert(b.begin() + long(passCountAt), {0xFF, 0xFF, 0xFF, 0xFF, 0x0F});
             return b;
         }()},
        {"pass 301: a frame of 70000 ms", rewritten([](Replay& c) {
             appendReplayPass(c.passes, plainReplayPass(70000));
             c.passCount++;
         })},
        {"pass 301: unknown message 0x200", rewritten([](Replay& c) {
             ReplayPass p = plainReplayPass(16);
             p.hasMessage = true;
             p.message = 0x200;
             appendReplayPass(c.passes, p);
             c.passCount++;
         })},
        {"impossible state: ballOwner is 12", rewritten([&](Replay& c) {
             const uint8_t twelve[4] = {12, 0, 0, 0};
             std::copy(twelve, twelve + 4, c.state.begin() + long(ballOwnerAt));
         })},
        {"1 bytes after the end", trailing},
        {"damaged (checksum mismatch)", changed(good.size() - 8, good[good.size() - 8] ^ 0x40)},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(readReplay(c.bytes.data(), c.bytes.size(), r, why)) << c.reason;
        EXPECT_EQ(why.find(c.reason), 0u) << why;
        EXPECT_EQ(why.find('\n'), std::string::npos);
    }
}

TEST(Replay, FolderFollowsXdgAndKeepsTheNewest) {
    const char* names[2] = {"XDG_DATA_HOME", "HOME"};
    std::string saved[2];
    bool had[2];
    for (int i = 0; i < 2; i++) {
        const char* v = std::getenv(names[i]);
        had[i] = v != nullptr;
        saved[i] = v ? v : "";
    }
    setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(replayFolder(), "/data/torvelun-soccer/replays");
    setenv("XDG_DATA_HOME", "relative", 1); // not absolute: not used
    setenv("HOME", "/home/p", 1);
    EXPECT_EQ(replayFolder(), "/home/p/.local/share/torvelun-soccer/replays");
    for (int i = 0; i < 2; i++) {
        if (had[i]) {
            setenv(names[i], saved[i].c_str(), 1);
        } else {
            unsetenv(names[i]);
        }
    }

    namespace fs = std::filesystem;
    std::string folder = outPath("folder");
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (int k = 0; k < KeptReplays + 5; k++) {
        char name[48];
        std::snprintf(name, sizeof name, "/20000101-0000%02d-00.replay", k);
        std::ofstream(folder + name) << "old";
    }
    std::ofstream(folder + "/notes.txt") << "mine";
    saveReplayInFolder({1, 2, 3}, &folder);
    int replays = 0;
    for (const auto& e : fs::directory_iterator(folder))
        replays += e.path().extension() == ".replay";
    EXPECT_EQ(replays, KeptReplays);
    EXPECT_FALSE(fs::exists(folder + "/20000101-000005-00.replay"));
    EXPECT_TRUE(fs::exists(folder + "/20000101-000006-00.replay"));
    EXPECT_TRUE(fs::exists(folder + "/notes.txt"));
}

} // namespace
