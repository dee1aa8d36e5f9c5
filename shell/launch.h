// soccer's command line: how the game shows, --help and --version.
#pragma once

#include <iosfwd>
#include <string>

#include "platform/platform.h"

struct LaunchOptions {
    DisplaySettings display;
    bool windowGiven;   // --window or --full-screen chose display.windowed
    bool scaleGiven;    // --scale chose display.scale
    bool resetSettings; // --reset-settings: start from the defaults
    std::string replay; // --replay FILE: watch a recorded match instead
    bool host;          // --host [PORT]: wait for a player from another machine
    uint16_t port;      // ... on this port
    std::string join;   // --join HOST[:PORT]: play against the host there
    std::string relay;  // --online [URL]: the lobby of the relay there (or $SOCCER_RELAY's)
};

// What the command line asks for. Returns -1 to start the game with `options`;
// otherwise the exit status: 0 after --help or --version (written to `out`),
// 2 after a bad option or value (one line naming it, written to `err`).
int parseLaunchOptions(int argc, const char* const* argv, LaunchOptions& options, std::ostream& out,
                       std::ostream& err);
