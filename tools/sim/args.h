// soccer-sim's command line and its output lines.
#pragma once

#include "shell/driver.h"

struct SimSettings {
    DriverOptions driver;
    int32_t matches;
    uint8_t json;
    uint8_t help;       // --help: print simUsage and stop
    const char* record; // the match's replay goes to this file
    const char* replay; // plays this replay instead of a match
};

// Parses the arguments (argv[0] skipped). On a bad option or value returns
// false with a one-line message naming it in error.
bool parseSimArguments(int argc, const char* const* argv, SimSettings* settings, char* error,
                       int errorSize);
// What --help prints.
extern const char simUsage[];
// One match's line: readable, or a JSON object.
void formatMatchLine(const MatchStats& stats, bool json, char* out, int outSize);
