#include "match/state.h"

MatchState match;
