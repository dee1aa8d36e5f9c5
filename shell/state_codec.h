// Every field of the game's state in one fixed order and byte order
// (little-endian): the match record, then the shell's flow state with the
// options and the random generator, then the view the drawing follows. A
// replay starts from such a state, the golden traces hash it, and when two
// states differ it names the first field that does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The encoding's three sections, in order. The first two are what the match
// depends on and what the traces hash; the view (both cameras and the ball's
// drawn angle) only matters to the pictures.
size_t matchStateBytes();  // MatchState, every field in declaration order
size_t hashedStateBytes(); // the match record and the shell's flow state
size_t stateBytes();       // all three sections

// Encodes the running game's state into stateBytes() bytes.
void encodeState(uint8_t* out);
// Checks an encoded state (stateBytes() bytes) against the values the game can
// hold: flags 0 or 1, indices and directions in range, floats finite and of a
// sane size, no match starting on the boot screen. On failure `why` names the
// first field that fails.
bool checkState(const uint8_t* state, std::string& why);
// Puts an encoded state that passed checkState into the running game.
void applyState(const uint8_t* state);

// FNV-1a, 64 bits.
uint64_t hashBytes(const uint8_t* bytes, size_t count);

// The first field within the first `count` bytes of two encodings that
// differs, as "name: value (expected value)", or "" when none does.
std::string firstDifference(const uint8_t* actual, const uint8_t* expected, size_t count);

// Each field's history: how many fields the first `count` bytes hold, their
// names in order, and a running hash per field that folds in its value after
// every pass, so that two runs tell which fields ever parted, even for a while.
size_t fieldCount(size_t count);
const std::string& fieldName(size_t index);
void foldFieldHistory(const uint8_t* state, size_t count, std::vector<uint32_t>& history);
