// soccer-sim's command line and the line it prints for each match.
#include <gtest/gtest.h>

#include <initializer_list>

#include "tools/sim/args.h"

namespace {

bool parse(std::initializer_list<const char*> args, SimSettings* s, char* error) {
    const char* argv[16] = {"soccer-sim"};
    int argc = 1;
    for (const char* a : args) argv[argc++] = a;
    return parseSimArguments(argc, argv, s, error, 128);
}

TEST(MatchDriver, CommandLine) {
    SimSettings s;
    char error[128] = "";
    ASSERT_TRUE(parse({}, &s, error));
    EXPECT_EQ(s.matches, 1);
    EXPECT_EQ(s.driver.seed, 1u);
    EXPECT_EQ(s.driver.strength, 60);
    EXPECT_EQ(s.driver.duration, 90);
    EXPECT_EQ(s.driver.msMin, 16u);
    EXPECT_EQ(s.driver.msMax, 16u);
    EXPECT_EQ(s.driver.versusComputer, 1);
    EXPECT_EQ(s.json, 0);

    ASSERT_TRUE(parse({"--matches", "5", "--seed", "9", "--strength", "100", "--duration", "150",
                       "--ms-range", "0:1000", "--versus", "scripted", "--json"},
                      &s, error));
    EXPECT_EQ(s.matches, 5);
    EXPECT_EQ(s.driver.seed, 9u);
    EXPECT_EQ(s.driver.strength, 100);
    EXPECT_EQ(s.driver.duration, 150);
    EXPECT_EQ(s.driver.msMin, 0u);
    EXPECT_EQ(s.driver.msMax, 1000u);
    EXPECT_EQ(s.driver.versusComputer, 0);
    EXPECT_EQ(s.json, 1);
    ASSERT_TRUE(parse({"--replay", "x.replay", "--sync-test", "8"}, &s, error)) << error;
    EXPECT_EQ(s.driver.syncTest, 8u);

    struct Bad {
        std::initializer_list<const char*> args;
        const char* message;
    };
    for (const Bad& bad :
         {Bad{{"--strength", "50"}, "bad value for --strength: 50"},
          Bad{{"--duration", "100"}, "bad value for --duration: 100"},
          Bad{{"--ms", "0"}, "bad value for --ms: 0"},
          Bad{{"--ms-range", "9:3"}, "bad value for --ms-range: 9:3"},
          Bad{{"--ms-range", "9"}, "bad value for --ms-range: 9"},
          Bad{{"--matches", "two"}, "bad value for --matches: two"},
          Bad{{"--seed", "-1"}, "bad value for --seed: -1"},
          Bad{{"--versus", "human"}, "bad value for --versus: human"},
          Bad{{"--sync-test", "32"}, "bad value for --sync-test: 32"},
          Bad{{"--seed"}, "missing value for --seed"}, Bad{{"--fast"}, "unknown option: --fast"}}) {
        EXPECT_FALSE(parse(bad.args, &s, error));
        EXPECT_STREQ(error, bad.message);
    }
}

TEST(MatchDriver, JsonLineHasEveryField) {
    MatchStats m{};
    m.seed = 3;
    m.strength = 80;
    m.scoreA = 2;
    m.scoreB = 1;
    m.kicks = 40;
    m.tackles = 7;
    m.throwIns = 5;
    m.corners = 2;
    m.goalKicks = 3;
    m.framesA = 250;
    m.framesB = 500;
    m.frames = 1000;
    char line[512];
    formatMatchLine(m, true, line, sizeof line);
    EXPECT_STREQ(line, "{\"seed\":3,\"strength\":80,\"scoreA\":2,\"scoreB\":1,\"kicks\":40,"
                       "\"tackles\":7,\"throwIns\":5,\"corners\":2,\"goalKicks\":3,"
                       "\"possessionA\":0.2500,\"possessionB\":0.5000,\"frames\":1000}");
}

} // namespace
