#include "match/state.h"

#include "match/events.h"

MatchState match;
float frameScale = 1.0f;
std::vector<MatchEvent> matchEvents;
