// What the browser test calls on the test page (index.html?test): the game on
// a virtual clock with the page's real keys and canvas, as soccer-snapshot
// runs it headless; whole matches as soccer-sim plays them; and the timings
// of a pass and of the mixer. Each returns text for the test to read.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/output.h"
#include "audio/stream.h"
#include "match/state.h"
#include "platform/audio_device.h"
#include "platform/platform.h"
#include "platform/web/web_platform.h"
#include "render/device.h"
#include "shell/display.h"
#include "shell/driver.h"
#include "shell/game.h"
#include "shell/netplay.h"
#include "shell/replay_file.h"
#include "shell/screens.h"
#include "shell/state_codec.h"
#include "tools/sim/args.h"

namespace {

struct TestRun {
    bool started;
    uint32_t soundHash; // FNV-1a over every sample byte heard since the start
    uint64_t frameThousandths;
    std::vector<int16_t> sound;
    std::string text;
};
TestRun run;

void hashSound(const int16_t* samples, size_t count) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
    for (size_t i = 0; i < count * 2; i++) run.soundHash = (run.soundHash ^ bytes[i]) * 16777619u;
}

// The sound device plays on until the next pass, for that pass's milliseconds.
void hearPass(uint32_t ms) {
    const uint64_t sum = uint64_t(ms) * 44100 + run.frameThousandths;
    const auto frames = uint32_t(sum / 1000);
    run.frameThousandths = sum % 1000;
    run.sound.resize(size_t(frames) * 2);
    audioDeviceManualAdvance(frames, run.sound.data());
    hashSound(run.sound.data(), run.sound.size());
}

// Mean, median and largest of a set of times in ms, as JSON.
std::string timings(const char* name, std::vector<double> t) {
    if (t.empty()) return "";
    double sum = 0;
    for (double x : t) sum += x;
    std::sort(t.begin(), t.end());
    char line[160];
    std::snprintf(line, sizeof line, "\"%s\": {\"mean\": %.4f, \"median\": %.4f, \"max\": %.4f}",
                  name, sum / double(t.size()), t[t.size() / 2], t.back());
    return line;
}

} // namespace

extern "C" {

// Starts the game anew as soccer-snapshot does: the clock at 0, the generator
// seeded with `seed`, the sound heard by the test instead of the browser.
EMSCRIPTEN_KEEPALIVE void webTestStart(uint32_t seed) {
    if (run.started) gameShutdown();
    gameResetState();
    platformSetHeadless(false); // as a whole match of webTestSimulate left it
    webUseVirtualClock(true);
    headlessSetClock(0);
    audioDeviceUseManual(true);
    run = TestRun{};
    run.soundHash = 2166136261u;
    run.started = gameStartup(true, seed);
}

// Runs `count` passes of `ms` milliseconds each; returns the hash of the
// sound heard since the start, in hexadecimal.
EMSCRIPTEN_KEEPALIVE const char* webTestPasses(int count, uint32_t ms) {
    for (int i = 0; i < count && run.started && screenFlow.gameRunning; i++) {
        headlessAdvanceClock(ms);
        gamePass();
        hearPass(ms);
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x", run.soundHash);
    run.text = hex;
    return run.text.c_str();
}

// soccer-sim's matches with soccer-sim's arguments (space-separated), one
// line a match, as soccer-sim prints them.
EMSCRIPTEN_KEEPALIVE const char* webTestSimulate(const char* arguments) {
    std::vector<std::string> words = {"soccer-sim", ""};
    for (const char* p = arguments; *p; p++) {
        if (*p != ' ') {
            words.back().push_back(*p);
        } else if (!words.back().empty()) {
            words.emplace_back();
        }
    }
    std::vector<const char*> argv;
    for (const std::string& w : words)
        if (!w.empty()) argv.push_back(w.c_str());
    SimSettings settings;
    char error[256];
    run.text.clear();
    if (!parseSimArguments(int(argv.size()), argv.data(), &settings, error, sizeof error))
        return (run.text = error).c_str();
    for (int k = 0; k < settings.matches; k++) {
        DriverOptions o = settings.driver;
        o.seed = settings.driver.seed + uint32_t(k);
        char line[512];
        formatMatchLine(playMatch(o), settings.json, line, sizeof line);
        run.text += std::string(line) + "\n";
    }
    return run.text.c_str();
}

// Plays a replay (`size` bytes at `data`) headless, as soccer-sim --replay
// does (with --sync-test `syncTest` when it is not 0), and gives its figures
// as soccer-sim's JSON names them: the passes, the score, the hashes of the
// match record and of the whole hashed state, and whether it ended where its
// recording ended; "parted" names the sync test's difference, if any.
EMSCRIPTEN_KEEPALIVE const char* webTestReplay(const uint8_t* data, int size, uint32_t syncTest) {
    Replay replay;
    std::string why;
    if (!readReplay(data, size_t(size), replay, why)) return (run.text = "refused: " + why).c_str();
    bool faithful = false;
    const MatchStats m = playReplay(replay, &faithful, syncTest);
    if (m.parted) return (run.text = "{\"parted\": \"" + syncTestFailure() + "\"}").c_str();
    std::vector<uint8_t> state(stateBytes());
    encodeState(state.data());
    const uint64_t stateHash = hashBytes(state.data(), hashedStateBytes());
    char line[256];
    std::snprintf(line, sizeof line,
                  "{\"passes\": %lld, \"scoreA\": %d, \"scoreB\": %d, \"matchStateHash\": "
                  "\"%016" PRIx64 "\", \"stateHash\": \"%016" PRIx64 "\", \"asRecorded\": %s}",
                  static_cast<long long>(m.frames), m.scoreA, m.scoreB,
                  hashBytes(state.data(), matchStateBytes()), stateHash,
                  faithful && stateHash == replay.endHash ? "true" : "false");
    return (run.text = line).c_str();
}

// Times `count` passes of `ms` milliseconds from where the test run stands,
// the game's own work (simulation and drawing, the frame kept as headless runs
// keep it), then the presentation of the frame on the page's canvas.
EMSCRIPTEN_KEEPALIVE const char* webBenchPasses(int count, uint32_t ms) {
    std::vector<double> passes, presents;
    platformSetHeadless(true);
    for (int i = 0; i < count && run.started && screenFlow.gameRunning; i++) {
        headlessAdvanceClock(ms);
        const double start = emscripten_get_now();
        gamePass();
        passes.push_back(emscripten_get_now() - start);
        hearPass(ms);
    }
    platformSetHeadless(false);
    for (int i = 0; i < count && graphics.frame; i++) {
        const double start = emscripten_get_now();
        platformPresent(graphics.frame);
        presents.push_back(emscripten_get_now() - start);
    }
    run.text = "{" + timings("pass", passes) + ", " + timings("present", presents) + "}";
    return run.text.c_str();
}

// Times the title music: playSong (which renders the whole ring at once), and
// the mixer over `seconds` seconds of sound in the audio node's blocks.
EMSCRIPTEN_KEEPALIVE const char* webBenchAudio(int seconds) {
    std::vector<double> starts;
    for (int i = 0; i < 5; i++) {
        const double start = emscripten_get_now();
        playSong(musicSong, 1);
        starts.push_back(emscripten_get_now() - start);
    }
    static int16_t block[1024 * 2];
    const int blocks = seconds * 44100 / 1024;
    const double start = emscripten_get_now();
    for (int i = 0; i < blocks; i++) audioDeviceManualAdvance(1024, block);
    const double total = emscripten_get_now() - start;
    stopSong(musicSong);
    char line[160];
    std::snprintf(line, sizeof line,
                  ", \"mixing\": {\"per second of sound\": %.3f, \"per 1024-frame block\": %.4f}",
                  total / seconds, total / blocks);
    run.text = "{" + timings("playSong", starts) + line + "}";
    return run.text.c_str();
}

// What the touch test looks at: the screen, the phase of play, player 1's
// active player, the ball and the shot being charged.
EMSCRIPTEN_KEEPALIVE const char* webTestMatchState() {
    const Player& p = match.players[match.activePlayerA];
    char line[320];
    std::snprintf(line, sizeof line,
                  "{\"title\": %d, \"message\": %d, \"playState\": %d, \"active\": %d, "
                  "\"x\": %.6f, \"y\": %.6f, \"ballOwner\": %d, \"ballSpeed\": %.6f, "
                  "\"shotCharge\": %.6f, \"singlePlayer\": %d, \"strength\": %d}",
                  screenFlow.titleActive, matchScreen.messageShowing, match.playState,
                  match.activePlayerA, double(p.x), double(p.y), match.ballOwner,
                  double(match.ball.speed), double(match.shotCharge), match.singlePlayer,
                  match.computerStrength);
    return (run.text = line).c_str();
}

} // extern "C"
