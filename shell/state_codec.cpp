#include "shell/state_codec.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "match/players.h"
#include "match/random.h"
#include "match/state.h"
#include "render/scene.h"
#include "render/transform.h"
#include "shell/display.h"
#include "shell/options.h"
#include "shell/screens.h"
#include "shell/timing.h"

enum class Kind : uint8_t { F32, I32, U32, U8 };

// One field: where it lives and the values a replay may give it (floats from
// -hi to hi). Names follow the code: "players[3].x", "ball.dirY", "matchClock".
struct Field {
    std::string name;
    Kind kind;
    void* at;
    double lo, hi;
};

// Far beyond anything a match reaches, and small enough that every conversion
// of a float to an integer in the game stays defined.
constexpr double FloatLimit = 1e7;

// The generator's state is not a variable of its own: it passes through this.
static uint32_t generatorCopy;

static void add(std::vector<Field>& t, std::string name, float& v,
                FieldRange range = {-FloatLimit, FloatLimit}) {
    t.push_back({std::move(name), Kind::F32, &v, range.lo, range.hi});
}
static void add(std::vector<Field>& t, std::string name, int32_t& v, FieldRange range) {
    t.push_back({std::move(name), Kind::I32, &v, range.lo, range.hi});
}
static void add(std::vector<Field>& t, std::string name, uint32_t& v) {
    t.push_back({std::move(name), Kind::U32, &v, 0, 4294967295.0});
}
static void add(std::vector<Field>& t, std::string name, uint8_t& v, FieldRange range = {0, 1}) {
    t.push_back({std::move(name), Kind::U8, &v, range.lo, range.hi});
}
// An array is its elements, "score[0]", "score[1]", each with the same range.
template <class T, size_t N, class... Range>
static void add(std::vector<Field>& t, const std::string& name, T (&v)[N], Range... range) {
    for (size_t k = 0; k < N; k++) add(t, name + "[" + std::to_string(k) + "]", v[k], range...);
}

// A record's fields from its list, in its order, each name after `prefix`;
// `leftOut` names a field that the encoding keeps elsewhere.
template <class Record>
static void addRecord(std::vector<Field>& t, Record& r, const std::string& prefix = "",
                      const char* leftOut = "") {
    forEachField(r, [&](const char* name, auto& v, auto... range) {
        if (std::strcmp(name, leftOut) != 0) add(t, prefix + name, v, range...);
    });
}

static void addMatch(std::vector<Field>& t) {
    for (int i = 0; i < 12; i++)
        addRecord(t, match.players[i], "players[" + std::to_string(i) + "].");
    addRecord(t, match.ball, "ball.");
    // The ball sprite's turn only matters to the pictures: it goes with the view.
    addRecord(t, match, "", "ballAngle");
}

static void addShell(std::vector<Field>& t) {
    add(t, "frameScale", frameScale);
    // The screen flow and the title scroller come in the order of the first
    // replays, not in their lists' (the state dumps') order.
    add(t, "gameRunning", screenFlow.gameRunning);
    // F1 and F2 do nothing on the boot screen: no match starts there.
    add(t, "bootActive", screenFlow.bootActive, FieldRange{0, 0});
    add(t, "bootTime", screenFlow.bootTime);
    add(t, "titleActive", screenFlow.titleActive);
    add(t, "bootBorderColour", screenFlow.bootBorderColour);
    add(t, "bootScreenColour", screenFlow.bootScreenColour);
    add(t, "scrollFrac", titleScroller.scrollFrac, FieldRange{-16, 16});
    add(t, "scrollPos", titleScroller.scrollPos, FieldRange{0, scrollLength});
    // It only ever goes down, for as long as the title has shown.
    add(t, "titlePhase", titleScroller.titlePhase, FieldRange{-3.4e38, 3.4e38});
    addRecord(t, matchScreen);
    addRecord(t, options);
    add(t, "randomState", generatorCopy);
    add(t, "smartFrame", smartFrame);
}

static void addView(std::vector<Field>& t) {
    addRecord(t, cameraFollow);
    add(t, "camera.position.x", camera.position.x);
    add(t, "camera.position.y", camera.position.y);
    add(t, "camera.position.z", camera.position.z);
    add(t, "ballAngle", match.ballAngle);
}

static size_t widthOf(Kind kind) {
    return kind == Kind::U8 ? 1 : 4;
}

static size_t bytesOf(const std::vector<Field>& fields) {
    size_t n = 0;
    for (const Field& f : fields) n += widthOf(f.kind);
    return n;
}

struct FieldTable {
    std::vector<Field> fields;
    size_t matchBytes, hashedBytes;
};

static const FieldTable& table() {
    static const FieldTable t = [] {
        FieldTable made;
        addMatch(made.fields);
        made.matchBytes = bytesOf(made.fields);
        addShell(made.fields);
        made.hashedBytes = bytesOf(made.fields);
        addView(made.fields);
        return made;
    }();
    return t;
}

size_t matchStateBytes() {
    return table().matchBytes;
}
size_t hashedStateBytes() {
    return table().hashedBytes;
}
size_t stateBytes() {
    return bytesOf(table().fields);
}

static uint32_t readLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void encodeState(uint8_t* out) {
    generatorCopy = randomState();
    for (const Field& f : table().fields) {
        uint32_t v = 0;
        if (f.kind == Kind::U8) {
            *out++ = *static_cast<const uint8_t*>(f.at);
            continue;
        }
        std::memcpy(&v, f.at, 4);
        for (int i = 0; i < 4; i++) *out++ = uint8_t(v >> (8 * i));
    }
}

// The field's value in the encoding, as a double (floats exactly).
static double valueAt(const Field& f, const uint8_t* at) {
    if (f.kind == Kind::U8) return *at;
    uint32_t bits = readLe32(at);
    if (f.kind == Kind::U32) return bits;
    if (f.kind == Kind::I32) return int32_t(bits);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

static std::string formatValue(const Field& f, const uint8_t* at) {
    char text[48];
    double v = valueAt(f, at);
    if (f.kind == Kind::F32) {
        std::snprintf(text, sizeof text, "%.9g", v);
    } else if (f.kind == Kind::U32) {
        std::snprintf(text, sizeof text, "0x%08X", readLe32(at));
    } else {
        std::snprintf(text, sizeof text, "%.0f", v);
    }
    return text;
}

bool checkState(const uint8_t* state, std::string& why) {
    for (const Field& f : table().fields) {
        double v = valueAt(f, state);
        bool fine = f.kind == Kind::F32 ? std::isfinite(v) && v >= f.lo && v <= f.hi
                                        : v >= f.lo && v <= f.hi;
        if (!fine) {
            why = f.name + " is " + formatValue(f, state);
            return false;
        }
        state += widthOf(f.kind);
    }
    return true;
}

void applyState(const uint8_t* state) {
    for (const Field& f : table().fields) {
        if (f.kind == Kind::U8) {
            *static_cast<uint8_t*>(f.at) = *state++;
            continue;
        }
        uint32_t v = readLe32(state);
        std::memcpy(f.at, &v, 4);
        state += 4;
    }
    seedRandom(generatorCopy);
    // The view matrix follows the camera's position.
    setCamera(camera.position.x, camera.position.y, camera.position.z);
    updateView();
}

uint64_t hashBytes(const uint8_t* bytes, size_t count) {
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < count; i++) {
        h ^= bytes[i];
        h *= 1099511628211ull;
    }
    return h;
}

std::string firstDifference(const uint8_t* actual, const uint8_t* expected, size_t count) {
    size_t offset = 0;
    for (const Field& f : table().fields) {
        size_t width = widthOf(f.kind);
        if (offset + width > count) break;
        if (std::memcmp(actual + offset, expected + offset, width) != 0) {
            return f.name + ": " + formatValue(f, actual + offset) + " (expected " +
                   formatValue(f, expected + offset) + ")";
        }
        offset += width;
    }
    return "";
}

size_t fieldCount(size_t count) {
    size_t n = 0, offset = 0;
    for (const Field& f : table().fields) {
        offset += widthOf(f.kind);
        if (offset > count) break;
        n++;
    }
    return n;
}

const std::string& fieldName(size_t index) {
    return table().fields.at(index).name;
}

void foldFieldHistory(const uint8_t* state, size_t count, std::vector<uint32_t>& history) {
    history.resize(fieldCount(count), 2166136261u);
    for (size_t i = 0; i < history.size(); i++) {
        size_t width = widthOf(table().fields[i].kind);
        for (size_t k = 0; k < width; k++) history[i] = (history[i] ^ *state++) * 16777619u;
    }
}
