#include "shell/launch.h"

#include <cstdlib>
#include <ostream>
#include <string>

#include "net/protocol.h"
#include "netws/websocket.h"
#include "shell/command_line.h"

// Shown after the options by --help, as on the title screen.
static const char controlsText[] = R"(Scaling:
  sharp           every pixel of the picture equally wide, edges smoothed by
                  at most one screen pixel
  integer         the largest whole multiple of 640 x 480, black borders
  fit             the largest size that fits, pixels unevenly wide

Losing the focus pauses the game, in a window and full screen alike.

Controls:
  F1              a match of one player against the computer
  F2              a match of two players
  Player 1        arrow keys move; CTRL shoots (hold it to charge) or tackles
  Player 2        W A S D move; B shoots or tackles (the keys where an English
                  keyboard has them, whatever the layout)
  F3              computer strength, 20 % to 100 %
  F4              title music on or off
  F5 F6 F7 F8     kit colours of team A's players and goalkeeper, team B's
  F9              match duration (on the title screen)
  F11             the controls screen (on the title screen): for each player
                  and action press the new key (one in use is refused); ESC
                  keeps the old one; last, LEFT and RIGHT pick the pad's
                  pause button and each player's pad's shoot button
  any key         starts a half once READY shows
  P               pauses the match, and goes on
  R               during a goal's celebration, shows the goal again
  SPACE           after the final whistle (and its statistics), to the title
  ESC             skips the boot screen; leaves a match; on the title, quits
  Alt+Enter       switches between a window and the full screen

Watching a replay: P pauses, F holds fast forward (4x), G toggles it, N skips
to the next goal or restart; at the end a key (or ESC) leaves.

The match: team A attacks down the screen in the first half, team B up; the
teams change ends at half time. A goalkeeper who holds the ball waits for his
side's shoot key (CTRL for player 1) to throw it out, and the clock stands
still meanwhile, as it does while a restart or a kick-off waits (the
computer's goalkeeper throws it out by himself).

Settings: strength, sound, duration, kits, window and scaling and the keys
are kept in $XDG_CONFIG_HOME/torvelun-soccer/settings (or ~/.config/...).

Online play (one match against a player on another machine):
  --host          waits for the other player on port 7777 (or PORT) and shows
                  this machine's addresses; set the options meanwhile: the
                  match is played with the host's duration and kit colours.
                  The host is player 1, the guest player 2; each plays with
                  the arrow keys and CTRL (or the first pad).
  --join          connects to the host and plays at once
  --online        through a relay (ws://HOST[:PORT], wss:// behind its TLS
                  proxy, or $SOCCER_RELAY): the title's lobby makes a room
                  (C; give its code to the other player), joins one (J and
                  the code) or watches one (W and the code); the room's
                  maker is player 1. $SOCCER_CA_FILE may name a PEM file of
                  certificate authorities trusted besides the system's.
  F10 F11         during an online match: a shorter or longer input delay
  F12             during an online match: round trip, delay, rollbacks, waits
  ESC             ends the online match for both players

Gamepads: the first pad plays as player 1, the second as player 2. The d-pad
or the left stick moves, A shoots or tackles, Start starts a match on the
title (pad 1: against the computer, pad 2: two players) and otherwise goes on,
Back is ESC, Y pauses. SDL_GAMECONTROLLERCONFIG adds mappings for unknown pads.)";

static void addDisplayOptions(CLI::App& app, LaunchOptions& o, std::string& scale) {
    app.add_flag("--window", o.display.windowed, "a window instead of the full screen");
    app.add_flag("--full-screen")->description("the full screen, the default (--window wins)");
    app.add_option("--scale", scale, "sharp (default), integer or fit; see below")
        ->check(CLI::IsMember({"sharp", "integer", "fit"}))
        ->option_text("MODE");
    app.add_flag("--reset-settings", o.resetSettings, "start from the default settings");
    app.add_option("--replay", o.replay, "watch a recorded match (keys below; ESC leaves)")
        ->option_text("FILE");
}

static void addOnlineOptions(CLI::App& app, LaunchOptions& o, int& port) {
    CLI::Option* host =
        app.add_option("--host", port, "wait for a player from another machine (port 7777)")
            ->expected(0, 1)
            ->check(CLI::Range(1, 65535))
            ->option_text("[PORT]");
    CLI::Option* join =
        app.add_option("--join", o.join, "play against the host at HOST (port 7777)")
            ->check(CLI::Validator(
                [](std::string& text) {
                    std::string h;
                    uint16_t p = 0;
                    return netwsParseAddress(text, h, p) ? std::string()
                                                         : "not HOST or HOST:PORT: " + text;
                },
                "HOST[:PORT]"))
            ->option_text("HOST[:PORT]");
    CLI::Option* relay =
        app.add_option("--online", o.relay, "play or watch through a relay ($SOCCER_RELAY)")
            ->expected(0, 1)
            ->check(CLI::Validator(
                [](std::string& text) {
                    NetRelayAddress a;
                    std::string why;
                    return text.empty() || netwsParseRelayUrl(text, a, why) ? std::string() : why;
                },
                "URL"))
            ->option_text("[URL]");
    host->excludes(join)->excludes(relay);
    join->excludes(relay);
    app.get_option("--replay")->excludes(host)->excludes(join)->excludes(relay);
}

// --online without an address takes the one SOCCER_RELAY remembers.
static bool relayFromEnvironment(LaunchOptions& o, std::ostream& err) {
    const char* remembered = std::getenv("SOCCER_RELAY");
    if (remembered) o.relay = remembered;
    NetRelayAddress a;
    std::string why;
    if (o.relay.empty()) why = "--online needs the relay's address, or SOCCER_RELAY set to it";
    if (why.empty() && netwsParseRelayUrl(o.relay, a, why)) return true;
    err << "soccer: " << why << "\n";
    return false;
}

static ScaleMode scaleModeNamed(const std::string& name) {
    if (name == "integer") return ScaleMode::Integer;
    if (name == "fit") return ScaleMode::Fit;
    return ScaleMode::Sharp;
}

int parseLaunchOptions(int argc, const char* const* argv, LaunchOptions& options, std::ostream& out,
                       std::ostream& err) {
    LaunchOptions o{};
    CLI::App app("soccer: an arcade soccer game for one or two players", "soccer");
    app.set_version_flag("--version", "soccer " SOCCER_VERSION);
    app.footer(controlsText);
    std::string scale = "sharp";
    addDisplayOptions(app, o, scale);
    int port = NetDefaultPort;
    addOnlineOptions(app, o, port);
    int status = parseCommandLine(app, argc, argv, out, err);
    if (status >= 0) return status;
    o.host = app.count("--host") > 0;
    if (app.count("--online") > 0 && o.relay.empty() && !relayFromEnvironment(o, err)) return 2;
    o.port = uint16_t(port);
    o.display.scale = scaleModeNamed(scale);
    o.windowGiven = app.count("--window") + app.count("--full-screen") > 0;
    o.scaleGiven = app.count("--scale") > 0;
    options = o;
    return -1;
}
