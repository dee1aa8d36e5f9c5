// The music generator: reads a tracker-like text score, synthesizes the 8-bit
// samples it names, and writes the game's XM modules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One pattern cell exactly as the module stores it: note 0 none, 1 ... 96,
// 97 key off; instrument 0 none; the raw volume-column byte; effect and
// parameter.
struct ScoreCell {
    uint8_t note;
    uint8_t instrument;
    uint8_t volume;
    uint8_t effect;
    uint8_t parameter;
};

struct ScoreInstrument {
    std::string name;
    std::string voice; // the synthesized sample it plays, "none" for no sample
    int volume;        // 0 ... 64
    int pan;           // 0 ... 255
    int relativeNote;
    int finetune;
    // From splitNote up (1 ... 96; 0 for none) the notes play a second copy
    // of the sound panned splitPan: two parts on one instrument, each with
    // its own place between the speakers.
    int splitNote;
    int splitPan;
};

struct ScorePattern {
    int rows;
    std::vector<ScoreCell> cells; // rows x channels, row-major
};

struct Score {
    std::string title;
    int channels;
    int speed; // header values; the patterns set their own with Fxx
    int bpm;
    int restart;
    std::vector<int> orders;
    std::vector<ScoreInstrument> instruments;
    std::vector<ScorePattern> patterns;
};

// A synthesized sample: signed 8-bit values; loopLength 0 means no loop.
struct SynthSample {
    std::vector<int8_t> data;
    int loopStart;
    int loopLength;
};

// Parses a score; on failure returns false and names the line and the fault.
bool parseScore(const std::string& text, Score* score, std::string* error);

// Synthesizes the named voice ("lead", "bass", "drum", "noise", "kick",
// "crunch"); false for an unknown name.
bool synthesizeVoice(const std::string& voice, SynthSample* sample);

// Builds the complete XM file of a parsed score.
std::vector<uint8_t> buildXm(const Score& score);

// Reads every score of `scoreDir` (music, kick, challenge) and writes the
// matching .xm file into `outDir`.
bool generateModules(const std::string& scoreDir, const std::string& outDir, std::string* error);
