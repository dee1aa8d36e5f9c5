// soccer-snapshot's command line.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "shell/command_line.h"
#include "tools/snapshot/snapshot.h"

// A whole decimal number from `lo` to `hi`, nothing before or after it.
static bool parseNumber(const char* s, long long lo, long long hi, long long& value) {
    if (!s || *s < '0' || *s > '9') return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(s, &end, 10);
    if (errno != 0 || *end != 0 || v < lo || v > hi) return false;
    value = v;
    return true;
}

// "F:REST": the pass number before the first colon, the rest after it.
static bool parsePassPrefix(const std::string& s, int& pass, std::string& rest) {
    size_t colon = s.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 9) return false;
    long long v;
    if (!parseNumber(s.substr(0, colon).c_str(), 1, INT_MAX, v)) return false;
    pass = static_cast<int>(v);
    rest = s.substr(colon + 1);
    return true;
}

// "F:down:NAME" or "F:up:NAME".
static bool parseKey(const std::string& s, SnapshotKey& key) {
    std::string rest;
    if (!parsePassPrefix(s, key.pass, rest)) return false;
    key.down = rest.rfind("down:", 0) == 0;
    if (!key.down && rest.rfind("up:", 0) != 0) return false;
    key.vk = snapshotKeyCode(rest.c_str() + (key.down ? 5 : 3));
    return key.vk >= 0;
}

// "F:PATH".
static bool parseFile(const std::string& s, SnapshotFile& file) {
    return parsePassPrefix(s, file.pass, file.path) && !file.path.empty();
}

// A whole number from `lo` to `hi` in decimal digits only.
static CLI::Validator wholeNumber(long long lo, long long hi) {
    return CLI::Validator(
        [lo, hi](const std::string& s) {
            long long v;
            if (parseNumber(s.c_str(), lo, hi, v)) return std::string();
            return s + " is not a whole number from " + std::to_string(lo) + " to " +
                   std::to_string(hi);
        },
        "");
}

template <class Item, bool (*parse)(const std::string&, Item&)>
static CLI::Validator itemOf(const char* form) {
    return CLI::Validator(
        [form](const std::string& s) {
            Item item;
            return parse(s, item) ? std::string() : s + " is not " + form;
        },
        "");
}

static const char snapshotFooter[] =
    R"(Keys: LEFT RIGHT UP DOWN CTRL ESC SPACE RETURN A B D S W F1 ... F9.
Pass numbers count from 1; a file is written after its pass.)";

int parseSnapshotArgs(int argc, const char* const* argv, SnapshotPlan& plan, std::ostream& out,
                      std::ostream& err) {
    plan = SnapshotPlan{};
    CLI::App app("Runs the game without a window for a number of passes on a virtual clock, with "
                 "scripted keys, and writes frames, state and sound.",
                 "soccer-snapshot");
    app.footer(snapshotFooter);
    std::vector<std::string> keys, shots, states;
    app.add_option("--frames", plan.frames, "how many passes (1; with --replay: all of it)")
        ->option_text("N")
        ->check(wholeNumber(0, INT_MAX));
    app.add_option("--ms", plan.ms, "milliseconds of the clock a pass (16)")
        ->option_text("MS")
        ->check(wholeNumber(0, 3600000));
    app.add_option("--seed", plan.seed, "the game's start-up seed (1)")
        ->option_text("N")
        ->check(wholeNumber(0, UINT32_MAX));
    app.add_option("--key", keys, "a key goes down or up before pass F")
        ->option_text("F:down|up:KEY")
        ->check(itemOf<SnapshotKey, parseKey>("F:down|up:KEY"))
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--shot", shots, "the frame after pass F as a PNG")
        ->option_text("F:PATH")
        ->check(itemOf<SnapshotFile, parseFile>("F:PATH"))
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--state", states, "the state after pass F as JSON")
        ->option_text("F:PATH")
        ->check(itemOf<SnapshotFile, parseFile>("F:PATH"))
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--wav", plan.wav, "the sound of the whole run")->option_text("PATH");
    app.add_option("--record", plan.record, "the match played goes to this replay")
        ->option_text("PATH");
    CLI::Option* replay =
        app.add_option("--replay", plan.replay, "passes, clock, seed and keys from this replay")
            ->option_text("PATH");
    // One value an occurrence, as many occurrences as wanted.
    for (const char* each : {"--key", "--shot", "--state"}) app.get_option(each)->expected(1);
    for (const char* scripted : {"--ms", "--seed", "--key", "--record"})
        replay->excludes(app.get_option(scripted));
    int status = parseCommandLine(app, argc, argv, out, err);
    if (status >= 0) return status;

    plan.framesGiven = app.count("--frames") > 0;
    plan.scripted = app.count("--ms") + app.count("--seed") + app.count("--key") > 0;
    for (const std::string& k : keys) parseKey(k, plan.keys.emplace_back());
    for (const std::string& f : shots) parseFile(f, plan.shots.emplace_back());
    for (const std::string& f : states) parseFile(f, plan.states.emplace_back());
    return -1;
}
