#include "match/state.h"

MatchState match = [] {
    MatchState m{};
    m.computerStrength = 60;
    return m;
}();
