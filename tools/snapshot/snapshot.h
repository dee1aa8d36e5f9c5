// soccer-snapshot: the game run headless for a given number of passes, with a
// virtual clock, scripted keys, and frames, state and sound written to files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

struct SnapshotKey {
    int pass;
    bool down;
    int vk;
};
struct SnapshotFile {
    int pass;
    std::string path;
};
struct SnapshotPlan {
    int frames = 1; // with a replay and no --frames: the replay's length
    uint32_t ms = 16;
    uint32_t seed = 1;
    std::vector<SnapshotKey> keys;
    std::vector<SnapshotFile> shots;
    std::vector<SnapshotFile> states;
    std::string wav;    // empty: no sound file
    std::string record; // the scripted run's match goes to this replay file
    std::string replay; // passes come from this replay file
    bool framesGiven = false;
    bool scripted = false; // --ms, --seed or --key given: a replay brings its own
};

// Reads the command line into `plan`. Returns -1 to go on, 0 after --help
// (printed on `out`), 2 after a bad option or value (one line naming it on
// `err`).
int parseSnapshotArgs(int argc, const char* const* argv, SnapshotPlan& plan, std::ostream& out,
                      std::ostream& err);
// Runs the plan: start-up, the passes, shutdown. Returns the exit status (1 for
// a file that cannot be written or a replay that cannot be read).
int runSnapshot(const SnapshotPlan& plan, std::FILE* err);
// The whole program: parse, then run (2 for a bad command line).
int snapshotMain(int argc, char** argv);

// The virtual-key code of a key name of --key (LEFT, CTRL, F5, W...), or -1.
int snapshotKeyCode(const char* name);
// The shell's flags, timers and options and the whole match record as JSON.
void writeStateJson(std::FILE* out);
// 44100 Hz, 16-bit stereo samples as a WAV file.
bool writeWav(const char* path, const std::vector<int16_t>& samples);
