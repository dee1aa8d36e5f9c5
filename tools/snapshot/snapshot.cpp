#include "tools/snapshot/snapshot.h"

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

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

static void writeFloat(std::FILE* out, const char* name, float v, bool comma = true) {
    if (std::isfinite(v)) {
        std::fprintf(out, "\"%s\": %.9g%s", name, double(v), comma ? ", " : "");
    } else {
        std::fprintf(out, "\"%s\": null%s", name, comma ? ", " : "");
    }
}
static void writeInt(std::FILE* out, const char* name, long long v, bool comma = true) {
    std::fprintf(out, "\"%s\": %lld%s", name, v, comma ? ", " : "");
}

static void writePlayer(std::FILE* out, const Player& p) {
    std::fprintf(out, "{");
    writeFloat(out, "actionTimer", p.actionTimer);
    writeInt(out, "fallen", p.fallen);
    writeFloat(out, "fallTimer", p.fallTimer);
    writeFloat(out, "x", p.x);
    writeFloat(out, "y", p.y);
    writeFloat(out, "homeX", p.homeX);
    writeFloat(out, "homeY", p.homeY);
    writeInt(out, "dirX", p.dirX);
    writeInt(out, "dirY", p.dirY);
    writeFloat(out, "speed", p.speed);
    writeInt(out, "isTeamA", p.isTeamA);
    writeFloat(out, "heading", p.heading);
    writeFloat(out, "runPhase", p.runPhase);
    writeInt(out, "faceX", p.faceX);
    writeInt(out, "faceY", p.faceY, false);
    std::fprintf(out, "}");
}

static void writeBall(std::FILE* out, const Ball& b) {
    std::fprintf(out, "{");
    writeFloat(out, "x", b.x);
    writeFloat(out, "y", b.y);
    writeFloat(out, "height", b.height);
    writeFloat(out, "speed", b.speed);
    writeInt(out, "dirX", b.dirX);
    writeInt(out, "dirY", b.dirY);
    writeFloat(out, "liftSpeed", b.liftSpeed);
    writeInt(out, "curl", b.curl);
    writeFloat(out, "roll", b.roll, false);
    std::fprintf(out, "}");
}

void writeStateJson(std::FILE* out) {
    std::fprintf(out, "{\n  ");
    writeFloat(out, "frameScale", frameScale);
    writeInt(out, "bootActive", bootActive);
    writeFloat(out, "bootTime", bootTime);
    writeInt(out, "titleActive", titleActive);
    writeInt(out, "gameRunning", gameRunning);
    std::fprintf(out, "\n  ");
    writeInt(out, "messageShowing", messageShowing);
    writeInt(out, "messageKind", messageKind);
    writeFloat(out, "messageTimer", messageTimer);
    writeFloat(out, "matchClock", matchClock);
    std::fprintf(out, "\n  ");
    writeInt(out, "scrollPos", scrollPos);
    writeFloat(out, "scrollFrac", scrollFrac);
    writeFloat(out, "titlePhase", titlePhase);
    writeInt(out, "soundOn", soundOn);
    writeInt(out, "matchDuration", matchDuration);
    std::fprintf(out, "\"teamColour\": [%d, %d, %d, %d], ", teamColour[0], teamColour[1],
                 teamColour[2], teamColour[3]);
    std::fprintf(out, "\n  ");
    writeFloat(out, "cameraX", cameraX);
    writeFloat(out, "cameraY", cameraY);
    writeFloat(out, "cameraDepth", cameraDepth);
    std::fprintf(out, "\n  ");
    writeInt(out, "ballOwner", match.ballOwner);
    writeInt(out, "lastToucher", match.lastToucher);
    writeInt(out, "playState", match.playState);
    writeInt(out, "restartTaker", match.restartTaker);
    writeFloat(out, "restartX", match.restartX);
    writeFloat(out, "restartY", match.restartY);
    std::fprintf(out, "\n  ");
    writeInt(out, "activePlayerA", match.activePlayerA);
    writeInt(out, "activePlayerB", match.activePlayerB);
    writeInt(out, "endSign", match.endSign);
    std::fprintf(out, "\"score\": [%d, %d], ", match.score[0], match.score[1]);
    writeFloat(out, "shotCharge", match.shotCharge);
    writeFloat(out, "computerDelay", match.computerDelay);
    std::fprintf(out, "\n  ");
    writeInt(out, "goalScored", match.goalScored);
    writeFloat(out, "goalTimer", match.goalTimer);
    writeInt(out, "kickOffTeamB", match.kickOffTeamB);
    writeInt(out, "secondHalf", match.secondHalf);
    writeInt(out, "singlePlayer", match.singlePlayer);
    writeInt(out, "computerStrength", match.computerStrength);
    std::fprintf(out, "\n  \"ball\": ");
    writeBall(out, match.ball);
    std::fprintf(out, ",\n  \"players\": [\n    ");
    for (int i = 0; i < 12; i++) {
        writePlayer(out, match.players[i]);
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
    uint32_t lastStamp = previousTimestamp;
    uint64_t clockMs = lastStamp;
    uint64_t soundFrames = clockMs * OutputRate / 1000;
    bool written = true;
    for (int pass = 1; pass <= frames && gameRunning; pass++) {
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
        clockMs += uint32_t(previousTimestamp - lastStamp);
        lastStamp = previousTimestamp;
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
