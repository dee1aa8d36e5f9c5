// The golden traces: each committed replay in tests/traces plays again without
// drawing, and after every pass the state (match record and shell, every field
// in a fixed byte order) must hash as committed. Where a trace parts from its
// golden run the test names the first pass that differs and the fields that
// differ at the next committed state. Together the traces must keep covering
// the rules (one and two players, every strength, both ends, goals, throw-ins,
// corners, goal kicks, posts, frames from 0 to over 1000 ms).
//
// SOCCER_UPDATE_TRACES=1 writes the expectations anew (tests/traces/README.md).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "match/state.h"
#include "platform/platform.h"
#include "shell/display.h"
#include "shell/driver.h"
#include "shell/game.h"
#include "shell/replay.h"
#include "shell/state_codec.h"
#include "shell/timing.h"

namespace {

const std::string folder = std::string(SOCCER_SOURCE_DIR) + "/tests/traces/";
constexpr uint32_t StateEvery = 1000;

// What the rules did along a trace.
struct Coverage {
    int goals = 0, posts = 0, halfTimes = 0;
    std::set<int> ends, strengths, players;
    uint32_t shortestFrame = ~0u, longestFrame = 0;
};

struct TraceRun {
    std::vector<uint8_t> passHashes;                    // the low byte of each pass's state hash
    std::map<uint32_t, std::vector<uint8_t>> states;    // every 1000th pass and the last
    std::map<uint32_t, std::vector<uint8_t>> histories; // each field's history hash then
    Coverage seen;
    MatchStats figures{};        // kicks, tackles and restarts
    bool endsAsRecorded = false; // where the recording ended, drawn or not
};

bool offThePost(const Ball& b, int32_t dirBefore) {
    return (b.y == 0.98f && b.dirY == -1 && dirBefore == 1) ||
           (b.y == -0.98f && b.dirY == 1 && dirBefore == -1);
}

void countPass(const MatchState& before, Coverage& c) {
    const MatchState& m = match;
    c.goals += m.goalScored && !before.goalScored;
    c.halfTimes += m.secondHalf && !before.secondHalf;
    c.posts += m.ballOwner == -1 && m.playState == InPlay && offThePost(m.ball, before.ball.dirY);
    if (messageShowing) return;
    c.ends.insert(m.endSign);
    c.players.insert(m.singlePlayer ? 1 : 2);
    if (m.singlePlayer) c.strengths.insert(m.computerStrength);
}

void countFrames(const Replay& r, Coverage& c) {
    const uint8_t* at = r.passes.data();
    const uint8_t* end = at + r.passes.size();
    ReplayPass pass;
    std::string why;
    for (uint32_t n = 1; n <= r.passCount && readReplayPass(at, end, n, pass, why); n++) {
        c.shortestFrame = std::min(c.shortestFrame, pass.frameMs);
        c.longestFrame = std::max(c.longestFrame, pass.frameMs);
    }
}

TraceRun playTrace(const std::string& name) {
    Replay r;
    std::string why;
    EXPECT_TRUE(readReplayFile(folder + name, r, why)) << name << ": " << why;
    TraceRun run;
    countFrames(r, run.seen);
    platformSetHeadless(true);
    replayPlaybackStart(r, false);
    std::vector<uint8_t> state(stateBytes());
    std::vector<uint32_t> history;
    auto keep = [&](uint32_t pass) {
        run.states[pass] = state;
        std::vector<uint8_t>& h = run.histories[pass];
        for (uint32_t v : history) h.push_back(uint8_t(v));
    };
    while (gameRunning && !replayPlaybackDone()) {
        MatchState before = match;
        gamePassWithoutDrawing();
        tallyPass(run.figures);
        countPass(before, run.seen);
        encodeState(state.data());
        state.resize(hashedStateBytes());
        run.passHashes.push_back(uint8_t(hashBytes(state.data(), state.size())));
        foldFieldHistory(state.data(), state.size(), history);
        if (run.passHashes.size() % StateEvery == 0) keep(uint32_t(run.passHashes.size()));
        state.resize(stateBytes());
    }
    state.resize(hashedStateBytes());
    keep(uint32_t(run.passHashes.size()));
    run.endsAsRecorded = hashBytes(state.data(), state.size()) == r.endHash;
    replayPlaybackStop();
    return run;
}

std::string hex(const uint8_t* bytes, size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < count; i++) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

std::vector<uint8_t> unhex(const std::string& s) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < s.size(); i += 2)
        bytes.push_back(uint8_t(std::stoi(s.substr(i, 2), nullptr, 16)));
    return bytes;
}

void writeExpectation(const std::string& path, const std::string& name, const TraceRun& run) {
    std::ofstream out(path);
    out << "# Golden trace of " << name << " (tests/traces/README.md). \"h\": the low byte of\n"
        << "# the state hash after each pass, 64 passes a line. \"s\": after every " << StateEvery
        << "th pass\n# and the last: the pass, the state's FNV-1a 64 hash, the "
        << "state in hex.\n";
    const std::vector<uint8_t>& h = run.passHashes;
    for (size_t i = 0; i < h.size(); i += 64)
        out << "h " << hex(h.data() + i, std::min<size_t>(64, h.size() - i)) << "\n";
    for (const auto& [pass, state] : run.states) {
        char hash[17];
        std::snprintf(hash, sizeof hash, "%016llx",
                      static_cast<unsigned long long>(hashBytes(state.data(), state.size())));
        const std::vector<uint8_t>& h = run.histories.at(pass);
        out << "s " << pass << " " << hash << " " << hex(state.data(), state.size()) << " "
            << hex(h.data(), h.size()) << "\n";
    }
}

TraceRun readExpectation(const std::string& path) {
    TraceRun golden;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind, a, b, c, d;
        words >> kind >> a >> b >> c >> d;
        if (kind == "h") {
            std::vector<uint8_t> h = unhex(a);
            golden.passHashes.insert(golden.passHashes.end(), h.begin(), h.end());
        } else if (kind == "s") {
            golden.states[uint32_t(std::stoul(a))] = unhex(c);
            golden.histories[uint32_t(std::stoul(a))] = unhex(d);
        }
    }
    return golden;
}

// The fields whose histories parted by then, however briefly.
std::string partedFields(const std::vector<uint8_t>& now, const std::vector<uint8_t>& golden) {
    std::string names;
    int count = 0;
    for (size_t i = 0; i < std::min(now.size(), golden.size()); i++) {
        if (now[i] == golden[i]) continue;
        if (++count <= 6) names += (count > 1 ? ", " : "") + fieldName(i);
    }
    if (count > 6) names += " and " + std::to_string(count - 6) + " more";
    return names;
}

// The first pass whose hash differs, then, at the first committed state after
// it, the fields that had parted by then and the first that differs there.
std::string firstParting(const TraceRun& run, const TraceRun& golden) {
    const std::vector<uint8_t>&a = run.passHashes, &g = golden.passHashes;
    size_t n = std::min(a.size(), g.size());
    size_t first = std::mismatch(a.begin(), a.begin() + long(n), g.begin()).first - a.begin();
    std::ostringstream out;
    if (first < n) out << "the state first differs after pass " << first + 1;
    if (a.size() != g.size()) out << "; it plays " << a.size() << " passes, not " << g.size();
    for (const auto& [pass, state] : golden.states) {
        auto now = run.states.find(pass);
        if (pass <= first || now == run.states.end() || now->second.size() != state.size())
            continue;
        std::string parted = partedFields(run.histories.at(pass), golden.histories.at(pass));
        std::string field = firstDifference(now->second.data(), state.data(), state.size());
        if (!parted.empty()) out << "; by pass " << pass << " these had parted: " << parted;
        if (!field.empty()) out << "; after pass " << pass << " " << field;
        if (!parted.empty() || !field.empty()) break;
    }
    return out.str();
}

std::vector<std::string> traceNames() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".replay") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Trace : public ::testing::TestWithParam<std::string> {};

TEST_P(Trace, PlaysToItsGoldenStates) {
    const std::string name = GetParam();
    const std::string path = folder + name.substr(0, name.size() - 7) + ".trace";
    TraceRun run = playTrace(name);
    EXPECT_TRUE(run.endsAsRecorded) << name << " no longer ends as it did when recorded";
    if (std::getenv("SOCCER_UPDATE_TRACES")) {
        writeExpectation(path, name, run);
        const Coverage& c = run.seen;
        const MatchStats& f = run.figures;
        std::printf("%s: %zu passes, goals %d, throw-ins %d, corners %d, goal kicks %d, posts %d, "
                    "half times %d, frames %u to %u ms\n",
                    name.c_str(), run.passHashes.size(), c.goals, f.throwIns, f.corners,
                    f.goalKicks, c.posts, c.halfTimes, c.shortestFrame, c.longestFrame);
        return;
    }
    TraceRun golden = readExpectation(path);
    ASSERT_FALSE(golden.passHashes.empty()) << "no expectation in " << path;
    std::string parting = firstParting(run, golden);
    EXPECT_TRUE(parting.empty()) << name << ": " << parting;
}

INSTANTIATE_TEST_SUITE_P(Golden, Trace, ::testing::ValuesIn(traceNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string n = info.param.substr(0, info.param.size() - 7);
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });

TEST(Traces, CoverTheRules) {
    Coverage all;
    MatchStats restarts{};
    std::vector<std::string> names = traceNames();
    EXPECT_GE(names.size(), 8u);
    for (const std::string& name : names) {
        TraceRun run = playTrace(name);
        const Coverage& c = run.seen;
        all.goals += c.goals;
        restarts.throwIns += run.figures.throwIns;
        restarts.corners += run.figures.corners;
        restarts.goalKicks += run.figures.goalKicks;
        all.posts += c.posts;
        all.halfTimes += c.halfTimes;
        all.ends.insert(c.ends.begin(), c.ends.end());
        all.strengths.insert(c.strengths.begin(), c.strengths.end());
        all.players.insert(c.players.begin(), c.players.end());
        all.shortestFrame = std::min(all.shortestFrame, c.shortestFrame);
        all.longestFrame = std::max(all.longestFrame, c.longestFrame);
    }
    EXPECT_GT(all.goals, 0);
    EXPECT_GT(restarts.throwIns, 0);
    EXPECT_GT(restarts.corners, 0);
    EXPECT_GT(restarts.goalKicks, 0);
    EXPECT_GT(all.posts, 0);
    EXPECT_GT(all.halfTimes, 0);
    EXPECT_EQ(all.ends, (std::set<int>{-1, 1}));
    EXPECT_EQ(all.strengths, (std::set<int>{20, 40, 60, 80, 100}));
    EXPECT_EQ(all.players, (std::set<int>{1, 2}));
    EXPECT_EQ(all.shortestFrame, 0u);
    EXPECT_GE(all.longestFrame, 1000u);
}

} // namespace
