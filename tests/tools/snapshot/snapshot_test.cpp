// soccer-snapshot's command line, its early end, and the files it writes.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/shell/shell_fixture.h"
#include "tools/snapshot/snapshot.h"

static int runArgs(std::vector<const char*> args, std::string* error = nullptr) {
    args.insert(args.begin(), "soccer-snapshot");
    std::FILE* err = std::tmpfile();
    SnapshotPlan plan;
    int status =
        parseSnapshotArgs(static_cast<int>(args.size()), const_cast<char**>(args.data()), plan, err)
            ? runSnapshot(plan, err)
            : 2;
    if (error) {
        std::rewind(err);
        char line[512] = "";
        if (std::fgets(line, sizeof line, err)) *error = line;
    }
    std::fclose(err);
    return status;
}

static std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

static std::string outPath(const char* name) {
    return std::string(SOCCER_BINARY_DIR) + "/shell_test_" + name;
}

TEST(Snapshot, BadOptionsAndValuesAreNamed) {
    std::string error;
    EXPECT_EQ(runArgs({"--frame", "3"}, &error), 2);
    EXPECT_NE(error.find("--frame"), std::string::npos);
    EXPECT_EQ(runArgs({"--frames", "x"}, &error), 2);
    EXPECT_NE(error.find("--frames"), std::string::npos);
    EXPECT_EQ(runArgs({"--frames", "-1"}, &error), 2);
    EXPECT_EQ(runArgs({"--ms"}, &error), 2);
    EXPECT_NE(error.find("--ms"), std::string::npos);
    EXPECT_EQ(runArgs({"--key", "3:press:LEFT"}, &error), 2);
    EXPECT_EQ(runArgs({"--key", "0:down:LEFT"}, &error), 2);
    EXPECT_EQ(runArgs({"--key", "2:down:F10"}, &error), 2);
    EXPECT_NE(error.find("2:down:F10"), std::string::npos);
    EXPECT_EQ(runArgs({"--shot", "5"}, &error), 2);
    EXPECT_EQ(runArgs({"--state", "5:"}, &error), 2);
    EXPECT_EQ(runArgs({"--seed", "4294967296"}, &error), 2);
    EXPECT_EQ(runArgs({"--replay", "a.replay", "--key", "1:down:UP"}, &error), 2);
    EXPECT_NE(error.find("--replay"), std::string::npos);
    EXPECT_EQ(error.find('\n'), error.size() - 1); // one line
}

TEST(Snapshot, KeyNames) {
    EXPECT_EQ(snapshotKeyCode("LEFT"), VK_LEFT);
    EXPECT_EQ(snapshotKeyCode("CTRL"), VK_CONTROL);
    EXPECT_EQ(snapshotKeyCode("RETURN"), VK_RETURN);
    EXPECT_EQ(snapshotKeyCode("W"), 'W');
    EXPECT_EQ(snapshotKeyCode("F9"), VK_F9);
    EXPECT_EQ(snapshotKeyCode("F"), -1);
    EXPECT_EQ(snapshotKeyCode("left"), -1);
}

TEST(Snapshot, EndsWhereTheGameWouldAndWritesStateAndSound) {
    const std::string early = outPath("early.json");
    const std::string late = outPath("late.json");
    const std::string wav = outPath("run.wav");
    std::remove(late.c_str());
    // ESC shortens the boot screen to 1100 ticks; at 25 ms (2 ticks) a pass the
    // title shows from pass 50; ESC there at pass 60 ends the game.
    std::string state = "59:" + early;
    std::string lateState = "61:" + late;
    EXPECT_EQ(runArgs({"--frames", "100", "--ms", "25", "--key", "1:down:ESC", "--key", "2:up:ESC",
                       "--key", "60:down:ESC", "--state", state.c_str(), "--state",
                       lateState.c_str(), "--wav", wav.c_str()}),
              0);
    std::string json = readFile(early);
    EXPECT_NE(json.find("\"titleActive\": 1"), std::string::npos);
    EXPECT_NE(json.find("\"gameRunning\": 1"), std::string::npos);
    EXPECT_NE(json.find("\"frameScale\": 2,"), std::string::npos);
    EXPECT_NE(json.find("\"computerStrength\": 60"), std::string::npos);
    EXPECT_NE(json.find("\"ball\": {\"x\": "), std::string::npos);
    EXPECT_NE(json.find("\"faceY\""), std::string::npos);
    size_t players = 0;
    for (size_t at = json.find("\"fallTimer\""); at != std::string::npos;
         at = json.find("\"fallTimer\"", at + 1))
        players++;
    EXPECT_EQ(players, 12u);
    // Nothing after the pass that ended the game.
    EXPECT_TRUE(readFile(late).empty());

    // 60 passes of 25 ms: 66150 frames of 16-bit stereo after a 44-byte header,
    // and the title music is heard.
    std::string sound = readFile(wav);
    ASSERT_EQ(sound.size(), 44u + 60 * 1102.5 * 4);
    EXPECT_EQ(sound.compare(0, 4, "RIFF"), 0);
    EXPECT_EQ(sound.compare(8, 8, "WAVEfmt "), 0);
    EXPECT_EQ(static_cast<uint8_t>(sound[24]) | static_cast<uint8_t>(sound[25]) << 8, 44100);
    bool heard = false;
    for (size_t i = 44; i < sound.size(); i++) heard = heard || sound[i] != 0;
    EXPECT_TRUE(heard);
}

TEST(Snapshot, SameSeedSameRun) {
    const std::string a = outPath("seed_a.json");
    const std::string b = outPath("seed_b.json");
    std::string sa = "200:" + a, sb = "200:" + b;
    const char* keys[] = {"--key", "1:down:ESC",     "--key", "60:down:F1",
                          "--key", "120:down:SPACE", "--key", "130:down:UP"};
    std::vector<const char*> args = {"--frames", "200", "--ms", "25"};
    args.insert(args.end(), std::begin(keys), std::end(keys));
    std::vector<const char*> argsA = args, argsB = args;
    argsA.insert(argsA.end(), {"--state", sa.c_str()});
    argsB.insert(argsB.end(), {"--state", sb.c_str()});
    EXPECT_EQ(runArgs(argsA), 0);
    EXPECT_EQ(runArgs(argsB), 0);
    std::string ja = readFile(a);
    EXPECT_NE(ja.find("\"playState\": 0"), std::string::npos);
    EXPECT_EQ(ja, readFile(b));
}
