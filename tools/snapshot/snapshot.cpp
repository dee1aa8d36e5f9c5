#include "tools/snapshot/snapshot.h"

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

#include "match/state.h"
#include "platform/audio_device.h"
#include "platform/platform.h"
#include "render/device.h"
#include "shell/display.h"
#include "shell/game.h"
#include "shell/options.h"
#include "shell/replay.h"
#include "shell/screens.h"
#include "shell/timing.h"

constexpr uint32_t OutputRate = 44100;

struct KeyName {
    const char* name;
    int vk;
};
static const KeyName keyNames[] = {
    {"LEFT", VK_LEFT},    {"RIGHT", VK_RIGHT}, {"UP", VK_UP},       {"DOWN", VK_DOWN},
    {"CTRL", VK_CONTROL}, {"ESC", VK_ESCAPE},  {"SPACE", VK_SPACE}, {"RETURN", VK_RETURN},
    {"A", 'A'},           {"B", 'B'},          {"D", 'D'},          {"S", 'S'},
    {"W", 'W'},           {"F1", VK_F1},       {"F2", VK_F2},       {"F3", VK_F3},
    {"F4", VK_F4},        {"F5", VK_F5},       {"F6", VK_F6},       {"F7", VK_F7},
    {"F8", VK_F8},        {"F9", VK_F9},
};

int snapshotKeyCode(const char* name) {
    for (const KeyName& k : keyNames)
        if (std::strcmp(k.name, name) == 0) return k.vk;
    return -1;
}

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
static bool parsePassPrefix(const char* s, int& pass, const char*& rest) {
    const char* colon = std::strchr(s, ':');
    if (!colon || colon == s || colon - s > 9) return false;
    char number[10];
    std::memcpy(number, s, static_cast<size_t>(colon - s));
    number[colon - s] = 0;
    long long v;
    if (!parseNumber(number, 1, INT_MAX, v)) return false;
    pass = static_cast<int>(v);
    rest = colon + 1;
    return true;
}

static bool parseKey(const char* s, SnapshotKey& key) {
    const char* rest;
    if (!parsePassPrefix(s, key.pass, rest)) return false;
    if (std::strncmp(rest, "down:", 5) == 0) {
        key.down = true;
        rest += 5;
    } else if (std::strncmp(rest, "up:", 3) == 0) {
        key.down = false;
        rest += 3;
    } else {
        return false;
    }
    key.vk = snapshotKeyCode(rest);
    return key.vk >= 0;
}

static bool parseFile(const char* s, SnapshotFile& file) {
    const char* rest;
    if (!parsePassPrefix(s, file.pass, rest) || !*rest) return false;
    file.path = rest;
    return true;
}

bool parseSnapshotArgs(int argc, char** argv, SnapshotPlan& plan, std::FILE* err) {
    plan = SnapshotPlan{};
    for (int i = 1; i < argc; i++) {
        const char* option = argv[i];
        bool known = !std::strcmp(option, "--frames") || !std::strcmp(option, "--ms") ||
                     !std::strcmp(option, "--seed") || !std::strcmp(option, "--key") ||
                     !std::strcmp(option, "--shot") || !std::strcmp(option, "--state") ||
                     !std::strcmp(option, "--wav") || !std::strcmp(option, "--record") ||
                     !std::strcmp(option, "--replay");
        if (!known) {
            std::fprintf(err, "soccer-snapshot: unknown option %s\n", option);
            return false;
        }
        if (i + 1 >= argc) {
            std::fprintf(err, "soccer-snapshot: %s needs a value\n", option);
            return false;
        }
        const char* value = argv[++i];
        long long v = 0;
        bool ok = true;
        plan.scripted |= !std::strcmp(option, "--ms") || !std::strcmp(option, "--seed") ||
                         !std::strcmp(option, "--key");
        if (!std::strcmp(option, "--frames")) {
            ok = parseNumber(value, 0, INT_MAX, v);
            plan.frames = static_cast<int>(v);
            plan.framesGiven = true;
        } else if (!std::strcmp(option, "--record") || !std::strcmp(option, "--replay")) {
            ok = *value != 0;
            (!std::strcmp(option, "--record") ? plan.record : plan.replay) = value;
        } else if (!std::strcmp(option, "--ms")) {
            ok = parseNumber(value, 0, 3600000, v);
            plan.ms = static_cast<uint32_t>(v);
        } else if (!std::strcmp(option, "--seed")) {
            ok = parseNumber(value, 0, UINT32_MAX, v);
            plan.seed = static_cast<uint32_t>(v);
        } else if (!std::strcmp(option, "--key")) {
            SnapshotKey key;
            ok = parseKey(value, key);
            if (ok) plan.keys.push_back(key);
        } else if (!std::strcmp(option, "--shot") || !std::strcmp(option, "--state")) {
            SnapshotFile file;
            ok = parseFile(value, file);
            if (ok)
                (option[2] == 's' && option[3] == 'h' ? plan.shots : plan.states).push_back(file);
        } else {
            ok = *value != 0;
            plan.wav = value;
        }
        if (!ok) {
            std::fprintf(err, "soccer-snapshot: bad value for %s: %s\n", option, value);
            return false;
        }
    }
    if (plan.replay && (plan.scripted || plan.record)) {
        std::fprintf(err, "soccer-snapshot: --replay brings its own clock, seed and keys: "
                          "no --ms, --seed, --key or --record with it\n");
        return false;
    }
    return true;
}

// One value: floats to nine digits (null when not finite), arrays in brackets.
static void writeValue(std::FILE* out, float v) {
    if (std::isfinite(v)) {
        std::fprintf(out, "%.9g", double(v));
    } else {
        std::fprintf(out, "null");
    }
}
template <class T>
requires std::is_integral_v<T>
static void writeValue(std::FILE* out, T v) {
    std::fprintf(out, "%lld", static_cast<long long>(v));
}
template <class T, size_t N> static void writeValue(std::FILE* out, const T (&v)[N]) {
    std::fprintf(out, "[");
    for (size_t k = 0; k < N; k++) {
        if (k) std::fputs(", ", out);
        writeValue(out, v[k]);
    }
    std::fprintf(out, "]");
}

// The dump has always left out the boot screen's colours and the ball
// sprite's turn; the replay state holds them.
static bool dumped(const char* name) {
    return std::strcmp(name, "bootBorderColour") != 0 &&
           std::strcmp(name, "bootScreenColour") != 0 && std::strcmp(name, "ballAngle") != 0;
}

// The top level: six fields a line, and a record that would not fit on the
// current line starts a new one.
struct JsonLines {
    std::FILE* out;
    int fields; // on the current line
};
constexpr int FieldsPerLine = 6;

template <class T> static void writeField(JsonLines& lines, const char* name, const T& v) {
    if (lines.fields == FieldsPerLine) {
        std::fprintf(lines.out, "\n  ");
        lines.fields = 0;
    }
    std::fprintf(lines.out, "\"%s\": ", name);
    writeValue(lines.out, v);
    std::fprintf(lines.out, ", ");
    lines.fields++;
}

template <class Record> static void writeRecord(JsonLines& lines, Record& r) {
    int count = 0;
    forEachField(r, [&](const char* name, auto&, auto...) { count += dumped(name); });
    if (lines.fields > 0 && lines.fields + count > FieldsPerLine) lines.fields = FieldsPerLine;
    forEachField(r, [&](const char* name, auto& v, auto...) {
        if (dumped(name)) writeField(lines, name, v);
    });
}

// A nested record on one line: {"x": 0, "y": 0.5}.
template <class Record> static void writeObject(std::FILE* out, Record& r) {
    const char* separator = "";
    std::fprintf(out, "{");
    forEachField(r, [&](const char* name, auto& v, auto...) {
        std::fprintf(out, "%s\"%s\": ", separator, name);
        writeValue(out, v);
        separator = ", ";
    });
    std::fprintf(out, "}");
}

void writeStateJson(std::FILE* out) {
    std::fprintf(out, "{\n  ");
    JsonLines lines = {out, 0};
    writeField(lines, "frameScale", frameScale);
    writeRecord(lines, screenFlow);
    writeRecord(lines, matchScreen);
    writeRecord(lines, titleScroller);
    writeRecord(lines, options);
    writeRecord(lines, cameraFollow);
    writeRecord(lines, match);
    std::fprintf(out, "\n  \"ball\": ");
    writeObject(out, match.ball);
    std::fprintf(out, ",\n  \"players\": [\n    ");
    for (int i = 0; i < 12; i++) {
        writeObject(out, match.players[i]);
        std::fprintf(out, i < 11 ? ",\n    " : "\n  ]\n}\n");
    }
}

static void putLe(std::FILE* f, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) std::fputc(static_cast<int>((v >> (8 * i)) & 0xFF), f);
}

bool writeWav(const char* path, const std::vector<int16_t>& samples) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::fwrite("RIFF", 1, 4, f);
    putLe(f, 36 + dataBytes, 4);
    std::fwrite("WAVEfmt ", 1, 8, f);
    putLe(f, 16, 4);
    putLe(f, 1, 2); // PCM
    putLe(f, 2, 2);
    putLe(f, OutputRate, 4);
    putLe(f, OutputRate * 4, 4);
    putLe(f, 4, 2);
    putLe(f, 16, 2);
    std::fwrite("data", 1, 4, f);
    putLe(f, dataBytes, 4);
    for (int16_t s : samples) putLe(f, static_cast<uint16_t>(s), 2);
    return std::fclose(f) == 0;
}

static bool writeShot(const char* path, std::FILE* err) {
    const uint32_t* frame = headlessLastFrame();
    if (!frame) frame = graphics.frame;
    if (frame && writeFramePng(path, frame)) return true;
    std::fprintf(err, "soccer-snapshot: cannot write %s\n", path);
    return false;
}

static bool writeState(const char* path, std::FILE* err) {
    std::FILE* f = std::fopen(path, "w");
    if (f) {
        writeStateJson(f);
        if (std::fclose(f) == 0) return true;
    }
    std::fprintf(err, "soccer-snapshot: cannot write %s\n", path);
    return false;
}

struct RecordTarget {
    const char* path;
    std::FILE* err;
    bool saved;
    bool written;
};

static void saveRecording(const std::vector<uint8_t>& file, void* context) {
    auto* target = static_cast<RecordTarget*>(context);
    std::string why;
    target->saved = true;
    target->written = writeFileAtomically(target->path, file, why);
    if (!target->written)
        std::fprintf(target->err, "soccer-snapshot: %s: %s\n", target->path, why.c_str());
}

// The passes of the plan: scripted keys on a clock of plan.ms a pass, or a
// replay's. The sound device plays on after each pass until the clock's next
// reading, counted from the clock itself so that a replay hears the same.
static bool runPasses(const SnapshotPlan& plan, int frames, std::FILE* err) {
    std::vector<int16_t> sound;
    std::vector<int16_t> block;
    uint32_t lastStamp = gameLoop.previousTimestamp;
    uint64_t clockMs = lastStamp;
    uint64_t soundFrames = clockMs * OutputRate / 1000;
    bool written = true;
    for (int pass = 1; pass <= frames && screenFlow.gameRunning; pass++) {
        if (!plan.replay) headlessAdvanceClock(plan.ms);
        for (const SnapshotKey& k : plan.keys) {
            if (k.pass != pass) continue;
            if (k.down) {
                headlessKeyDown(k.vk);
            } else {
                headlessKeyUp(k.vk);
            }
        }
        gamePass();
        clockMs += uint32_t(gameLoop.previousTimestamp - lastStamp);
        lastStamp = gameLoop.previousTimestamp;
        uint64_t total = clockMs * OutputRate / 1000;
        block.resize((total - soundFrames) * 2);
        audioDeviceManualAdvance(static_cast<uint32_t>(total - soundFrames), block.data());
        soundFrames = total;
        if (plan.wav) sound.insert(sound.end(), block.begin(), block.end());
        for (const SnapshotFile& f : plan.shots)
            if (f.pass == pass) written = writeShot(f.path, err) && written;
        for (const SnapshotFile& f : plan.states)
            if (f.pass == pass) written = writeState(f.path, err) && written;
    }
    if (plan.wav && !writeWav(plan.wav, sound)) {
        std::fprintf(err, "soccer-snapshot: cannot write %s\n", plan.wav);
        written = false;
    }
    return written;
}

int runSnapshot(const SnapshotPlan& plan, std::FILE* err) {
    Replay replay;
    std::string why;
    if (plan.replay && !readReplayFile(plan.replay, replay, why)) {
        std::fprintf(err, "soccer-snapshot: %s: %s\n", plan.replay, why.c_str());
        return 1;
    }
    gameResetState();
    platformSetHeadless(true);
    headlessSetClock(0);
    audioDeviceUseManual(true);
    if (!gameStartup(true, plan.replay ? replay.startupSeed : plan.seed)) {
        std::fprintf(err, "soccer-snapshot: start-up failed\n");
        return 1;
    }
    int frames = plan.frames;
    RecordTarget target = {plan.record, err, false, true};
    if (plan.replay) {
        // Passes are numbered from the replay's first; there are no more than it holds.
        if (!plan.framesGiven || uint32_t(frames) > replay.passCount)
            frames = int(replay.passCount);
        replayPlaybackStart(replay, false);
    }
    if (plan.record) replayRecorderStart(saveRecording, &target);
    bool written = runPasses(plan, frames, err);
    replayRecorderStop();
    replayPlaybackStop();
    gameShutdown();
    if (plan.record && !target.saved) {
        std::fprintf(err, "soccer-snapshot: %s: no match was played (F1 or F2)\n", plan.record);
        return 1;
    }
    return written && target.written ? 0 : 1;
}

int snapshotMain(int argc, char** argv) {
    SnapshotPlan plan;
    if (!parseSnapshotArgs(argc, argv, plan, stderr)) return 2;
    return runSnapshot(plan, stderr);
}
