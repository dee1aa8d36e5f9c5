#include "shell/settings.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "match/state.h"
#include "shell/options.h"
#include "shell/replay_file.h"

using Json = nlohmann::json;

std::string settingsPath() {
#ifdef _WIN32
    // Windows keeps a user's settings under the roaming application data.
    const char* roaming = std::getenv("APPDATA");
    if (!roaming || !roaming[0]) return "";
    return std::string(roaming) + "\\Torvelun Soccer\\settings";
#endif
    // Only an absolute path counts, as the XDG base directory rules say.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/torvelun-soccer/settings";
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') return "";
    return std::string(home) + "/.config/torvelun-soccer/settings";
}

static const char* const scaleNames[] = {"sharp", "integer", "fit"};
static const char* const padButtonNames[PadButtonCount] = {"a",
                                                           "b",
                                                           "x",
                                                           "y",
                                                           "back",
                                                           "guide",
                                                           "start",
                                                           "left-stick",
                                                           "right-stick",
                                                           "left-shoulder",
                                                           "right-shoulder"};
static const char* const playerNames[2] = {"player1", "player2"};
static const char* const actionKeys[ActionCount] = {"left", "right", "up", "down", "shoot"};

// Reads one member into `value` when it is there and passes `valid`; a member
// that is there and fails names itself in `bad`.
template <class T, class Valid>
static void readMember(const Json& object, const char* name, T& value, Valid valid,
                       std::string& bad) {
    auto it = object.find(name);
    if (it == object.end()) return;
    T read{};
    if (valid(*it, read)) {
        value = read;
        return;
    }
    bad += bad.empty() ? name : std::string(", ") + name;
}

static bool intIn(const Json& j, int32_t& out, std::initializer_list<int32_t> allowed) {
    if (!j.is_number_integer()) return false;
    int64_t v = j.get<int64_t>();
    for (int32_t a : allowed) {
        if (v == a) {
            out = a;
            return true;
        }
    }
    return false;
}

static bool readKits(const Json& j, std::array<int32_t, 4>& out) {
    if (!j.is_array() || j.size() != 4) return false;
    for (size_t k = 0; k < 4; k++) {
        if (!intIn(j[k], out[k], {0, 1, 2, 3, 4, 5, 6, 7, 8, 9})) return false;
        for (size_t m = 0; m < k; m++)
            if (out[m] == out[k]) return false; // every kit differs from the others
    }
    return true;
}

static bool readName(const Json& j, int32_t& out, const char* const* names, int count) {
    if (!j.is_string()) return false;
    const std::string s = j.get<std::string>();
    for (int i = 0; i < count; i++) {
        if (s == names[i]) {
            out = i;
            return true;
        }
    }
    return false;
}

static bool readScancode(const Json& j, uint16_t& out) {
    if (!j.is_number_integer()) return false;
    int64_t v = j.get<int64_t>();
    if (v <= 0 || v >= ScanCount) return false;
    out = static_cast<uint16_t>(v);
    return true;
}

// One player's keys: every action named, one or two scancodes each.
static bool readPlayerKeys(const Json& j, uint16_t keys[ActionCount][KeysPerAction]) {
    if (!j.is_object()) return false;
    for (int a = 0; a < ActionCount; a++) {
        auto it = j.find(actionKeys[a]);
        if (it == j.end() || !it->is_array() || it->empty() || it->size() > KeysPerAction)
            return false;
        for (int n = 0; n < KeysPerAction; n++) {
            keys[a][n] = 0;
            if (n < int(it->size()) && !readScancode((*it)[size_t(n)], keys[a][n])) return false;
        }
    }
    return true;
}

static bool readControls(const Json& j, Controls& out) {
    if (!j.is_object()) return false;
    for (int p = 0; p < 2; p++) {
        auto it = j.find(playerNames[p]);
        if (it != j.end() && !readPlayerKeys(*it, out.keys[p])) return false;
    }
    auto pause = j.find("pause");
    if (pause != j.end() && !readScancode(*pause, out.pauseKey)) return false;
    auto pad = j.find("padPause");
    if (pad != j.end() &&
        !(*pad == "none" ? (out.padPause = PadNone, true)
                         : readName(*pad, out.padPause, padButtonNames, PadButtonCount)))
        return false;
    auto shoot = j.find("padShoot");
    if (shoot != j.end()) {
        if (!shoot->is_array() || shoot->size() != 2) return false;
        for (size_t p = 0; p < 2; p++) {
            if (!readName((*shoot)[p], out.padShoot[p], padButtonNames, PadButtonCount))
                return false;
        }
    }
    return controlsValid(out); // a key used twice gives the default controls
}

static void readSettings(const Json& j, Settings& s, std::string& bad) {
    auto isBool = [](const Json& v, bool& out) {
        if (!v.is_boolean()) return false;
        out = v.get<bool>();
        return true;
    };
    readMember(
        j, "strength", s.strength,
        [](const Json& v, int32_t& o) {
            return intIn(v, o, {20, 40, 60, 80, 100});
        },
        bad);
    bool sound = s.soundOn;
    readMember(j, "sound", sound, isBool, bad);
    s.soundOn = sound;
    readMember(
        j, "duration", s.duration,
        [](const Json& v, int32_t& o) {
            return intIn(v, o, {90, 120, 150, 180});
        },
        bad);
    std::array<int32_t, 4> kits = {s.kits[0], s.kits[1], s.kits[2], s.kits[3]};
    readMember(j, "kits", kits, readKits, bad);
    for (int k = 0; k < 4; k++) s.kits[k] = kits[size_t(k)];
    readMember(j, "window", s.windowed, isBool, bad);
    int32_t scale = static_cast<int32_t>(s.scale);
    readMember(
        j, "scale", scale, [](const Json& v, int32_t& o) { return readName(v, o, scaleNames, 3); },
        bad);
    s.scale = static_cast<ScaleMode>(scale);
    readMember(
        j, "controls", s.controls,
        [](const Json& v, Controls& o) { return readControls(v, o = Controls{}); }, bad);
}

Settings settingsFromText(const std::string& text, std::string& bad) {
    Settings s;
    bad.clear();
    Json j = Json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        bad = "the whole file";
        return s;
    }
    readSettings(j, s, bad);
    return s;
}

static Json controlsJson(const Controls& c) {
    Json j = Json::object();
    for (int p = 0; p < 2; p++) {
        Json keys = Json::object();
        for (int a = 0; a < ActionCount; a++) {
            Json list = Json::array();
            for (uint16_t s : c.keys[p][a])
                if (s) list.push_back(s);
            keys[actionKeys[a]] = list;
        }
        j[playerNames[p]] = keys;
    }
    j["pause"] = c.pauseKey;
    j["padPause"] = c.padPause == PadNone ? "none" : padButtonNames[c.padPause];
    j["padShoot"] = {padButtonNames[c.padShoot[0]], padButtonNames[c.padShoot[1]]};
    return j;
}

std::string settingsText(const Settings& s) {
    Json j = {{"strength", s.strength},
              {"sound", bool(s.soundOn)},
              {"duration", s.duration},
              {"kits", {s.kits[0], s.kits[1], s.kits[2], s.kits[3]}},
              {"window", s.windowed},
              {"scale", scaleNames[static_cast<int>(s.scale)]},
              {"controls", controlsJson(s.controls)}};
    return j.dump(2) + "\n";
}

Settings currentSettings() {
    Settings s;
    s.strength = match.computerStrength;
    s.soundOn = options.soundOn;
    s.duration = options.matchDuration;
    for (int k = 0; k < 4; k++) s.kits[k] = options.teamColour[k];
    DisplaySettings shown = platformCurrentDisplay();
    s.windowed = shown.windowed;
    s.scale = shown.scale;
    s.controls = controls;
    return s;
}

void applySettings(const Settings& s) {
    match.computerStrength = s.strength;
    options.soundOn = s.soundOn;
    options.matchDuration = s.duration;
    for (int k = 0; k < 4; k++) options.teamColour[k] = s.kits[k];
    platformSetDisplay({s.windowed, s.scale});
    controls = s.controls;
    applyControls();
}

// What the file holds, as far as the game knows: a change from it is saved.
struct SettingsFile {
    std::string path;
    Settings saved;
    bool warnedWrite = false;
};
static SettingsFile settingsFile;

static void writeSettings(const Settings& s) {
    SettingsFile& f = settingsFile;
    f.saved = s;
    if (f.path.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(f.path).parent_path(), ec);
    const std::string text = settingsText(s);
    std::string why;
    if (!writeFileAtomically(f.path, std::vector<uint8_t>(text.begin(), text.end()), why) &&
        !f.warnedWrite) {
        std::fprintf(stderr, "soccer: the settings are not saved in %s: %s\n", f.path.c_str(),
                     why.c_str());
        f.warnedWrite = true; // once a run, not at every change
    }
}

// The file's text; false when there is none to read.
static bool readSettingsText(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

void settingsStart(bool reset, const DisplayChoice& commandLine) {
    SettingsFile& f = settingsFile;
    f = SettingsFile{};
    f.path = settingsPath();
    Settings s;
    std::string text;
    if (!reset && !f.path.empty() && readSettingsText(f.path, text)) {
        std::string bad;
        s = settingsFromText(text, bad);
        if (!bad.empty()) {
            std::fprintf(stderr, "soccer: %s: bad settings, their defaults are used: %s\n",
                         f.path.c_str(), bad.c_str());
        }
    }
    f.saved = s;
    if (commandLine.windowGiven) s.windowed = commandLine.windowed;
    if (commandLine.scaleGiven) s.scale = commandLine.scale;
    applySettings(s);
    if (reset) writeSettings(s);
}

void settingsKeep() {
    Settings now = currentSettings();
    if (!(now == settingsFile.saved)) writeSettings(now);
}
