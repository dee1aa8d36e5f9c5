// Full-time statistics: each team's goals, shots, possession, tackles, corners
// and throw-ins, counted pass by pass from what the match reports
// (match/events.h). The game shows them after the final whistle;
// soccer-sim --replay --json gives the same figures.
#pragma once

#include <cstdint>

struct TeamStatistics {
    int32_t goals = 0;
    int32_t shots = 0; // kicks in open play from the opponents' half toward their goal
    int32_t tackles = 0;
    int32_t corners = 0;  // awarded to the team
    int32_t throwIns = 0; // awarded to the team
    double ticksWithBall = 0;
};

// [0] team A, [1] team B. Every new match starts them from nothing.
struct MatchStatistics {
    TeamStatistics team[2];
};
extern MatchStatistics matchStatistics;

void statisticsReset();
// Counts this pass's match events and who had the ball for the frame.
void statisticsTally();
// The share of the time with the ball, in whole percent (the two add up to 100
// once anyone had it; 0 and 0 before).
int32_t possessionPercent(const MatchStatistics& s, int team);

// The statistics box over the match, drawn while the game-over box shows.
void drawStatistics();
