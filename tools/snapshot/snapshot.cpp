#include "tools/snapshot/snapshot.h"

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
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
    std::string path;
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
        std::fprintf(target->err, "soccer-snapshot: %s: %s\n", target->path.c_str(), why.c_str());
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
        if (plan.replay.empty()) headlessAdvanceClock(plan.ms);
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
        if (!plan.wav.empty()) sound.insert(sound.end(), block.begin(), block.end());
        for (const SnapshotFile& f : plan.shots)
            if (f.pass == pass) written = writeShot(f.path.c_str(), err) && written;
        for (const SnapshotFile& f : plan.states)
            if (f.pass == pass) written = writeState(f.path.c_str(), err) && written;
    }
    if (!plan.wav.empty() && !writeWav(plan.wav.c_str(), sound)) {
        std::fprintf(err, "soccer-snapshot: cannot write %s\n", plan.wav.c_str());
        written = false;
    }
    return written;
}

int runSnapshot(const SnapshotPlan& plan, std::FILE* err) {
    Replay replay;
    std::string why;
    const bool replaying = !plan.replay.empty(), recording = !plan.record.empty();
    if (replaying && !readReplayFile(plan.replay, replay, why)) {
        std::fprintf(err, "soccer-snapshot: %s: %s\n", plan.replay.c_str(), why.c_str());
        return 1;
    }
    gameResetState();
    platformSetHeadless(true);
    headlessSetClock(0);
    audioDeviceUseManual(true);
    if (!gameStartup(true, replaying ? replay.startupSeed : plan.seed)) {
        std::fprintf(err, "soccer-snapshot: start-up failed\n");
        return 1;
    }
    int frames = plan.frames;
    RecordTarget target = {plan.record, err, false, true};
    if (replaying) {
        // Passes are numbered from the replay's first; there are no more than it holds.
        if (!plan.framesGiven || uint32_t(frames) > replay.passCount)
            frames = int(replay.passCount);
        replayPlaybackStart(replay, false);
    }
    if (recording) replayRecorderStart(saveRecording, &target);
    bool written = runPasses(plan, frames, err);
    replayRecorderStop();
    replayPlaybackStop();
    gameShutdown();
    if (recording && !target.saved) {
        std::fprintf(err, "soccer-snapshot: %s: no match was played (F1 or F2)\n",
                     plan.record.c_str());
        return 1;
    }
    return written && target.written ? 0 : 1;
}

int snapshotMain(int argc, char** argv) {
    SnapshotPlan plan;
    int status = parseSnapshotArgs(argc, argv, plan, std::cout, std::cerr);
    if (status >= 0) return status;
    return runSnapshot(plan, stderr);
}
