// soccer's command line: what starts the game, what only prints, what fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "netws/websocket.h"
#include "shell/launch.h"

struct LaunchCase {
    std::vector<const char*> args;
    int status; // -1: the game starts
    bool windowed;
    ScaleMode scale;
    const char* outHas; // in what is written to stdout ("" for nothing)
    const char* errHas; // in the one line written to stderr ("" for nothing)
};

TEST(LaunchOptions, ParseTable) {
    const LaunchCase cases[] = {
        {{}, -1, false, ScaleMode::Sharp, "", ""},
        {{"--window"}, -1, true, ScaleMode::Sharp, "", ""},
        {{"--scale", "integer", "--window"}, -1, true, ScaleMode::Integer, "", ""},
        {{"--scale=fit"}, -1, false, ScaleMode::Fit, "", ""},
        {{"--scale", "sharp"}, -1, false, ScaleMode::Sharp, "", ""},
        {{"--help"}, 0, false, ScaleMode::Sharp, "Alt+Enter", ""},
        {{"-h"}, 0, false, ScaleMode::Sharp, "--scale MODE", ""},
        {{"--version"}, 0, false, ScaleMode::Sharp, "soccer " SOCCER_VERSION_FOR_TEST, ""},
        {{"--fullscreen"}, 2, false, ScaleMode::Sharp, "", "--fullscreen"},
        {{"--scale", "blurry"}, 2, false, ScaleMode::Sharp, "", "blurry"},
        {{"--scale"}, 2, false, ScaleMode::Sharp, "", "--scale"},
        {{"match"}, 2, false, ScaleMode::Sharp, "", "match"},
        {{"--scale", "two\nlines"}, 2, false, ScaleMode::Sharp, "", "two lines"},
        {{"--online", "ws://relay.example:8000"}, -1, false, ScaleMode::Sharp, "", ""},
        // wss:// where the build speaks TLS (not the Windows one).
        {{"--online", "wss://relay.example"},
         netwsSpeaksTls() ? -1 : 2,
         false,
         ScaleMode::Sharp,
         "",
         netwsSpeaksTls() ? "" : "ws:// only"},
        {{"--online", "http://relay.example"}, 2, false, ScaleMode::Sharp, "", "starts with ws://"},
        {{"--online", "ws://r", "--join", "h"}, 2, false, ScaleMode::Sharp, "", "excludes"},
    };
    for (const LaunchCase& c : cases) {
        std::vector<const char*> argv = {"soccer"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::string label = argv.size() > 1 ? argv[1] : "(none)";
        LaunchOptions o{};
        o.display.windowed = !c.windowed; // must be overwritten whenever the game starts
        std::ostringstream out, err;
        int status = parseLaunchOptions(int(argv.size()), argv.data(), o, out, err);
        EXPECT_EQ(status, c.status) << label;
        if (status == -1) {
            EXPECT_EQ(o.display.windowed, c.windowed) << label;
            EXPECT_EQ(o.display.scale, c.scale) << label;
        }
        std::string printed = out.str(), failed = err.str();
        EXPECT_NE(printed.find(c.outHas), std::string::npos) << label << ": " << printed;
        EXPECT_EQ(printed.empty(), !*c.outHas) << label;
        // A failure is one line that names what was wrong.
        EXPECT_NE(failed.find(c.errHas), std::string::npos) << label << ": " << failed;
        EXPECT_EQ(std::count(failed.begin(), failed.end(), '\n'), *c.errHas ? 1 : 0) << label;
    }
}

// The man page's OPTIONS list the options --help lists, no more, no fewer.
TEST(LaunchOptions, ManPageListsTheOptionsOfHelp) {
    std::ifstream page(SOCCER_SOURCE_DIR "/dist/soccer.6.in");
    ASSERT_TRUE(page);
    std::set<std::string> manOptions, helpOptions;
    std::string line;
    bool inOptions = false;
    const std::regex manOption(R"(^\.B[IR]? +(?:\\-h ", " )?\\-\\-((?:[a-z]|\\-)+))");
    while (std::getline(page, line)) {
        if (line.rfind(".SH", 0) == 0) inOptions = line == ".SH OPTIONS";
        std::smatch m;
        if (!inOptions || !std::regex_search(line, m, manOption)) continue;
        std::string name = m[1]; // "reset\-settings"
        std::erase(name, '\\');
        manOptions.insert(name);
    }
    LaunchOptions o{};
    std::ostringstream out, err;
    const char* argv[] = {"soccer", "--help"};
    ASSERT_EQ(parseLaunchOptions(2, argv, o, out, err), 0);
    std::istringstream help(out.str());
    const std::regex helpOption(R"(^  (?:-h,)?--([a-z-]+))");
    while (std::getline(help, line)) {
        std::smatch m;
        if (std::regex_search(line, m, helpOption)) helpOptions.insert(m[1]);
    }
    EXPECT_GE(helpOptions.size(), 7u);
    EXPECT_EQ(manOptions, helpOptions);
}
