// Kick-offs and the restart handling of a ball that went out.
#pragma once

// Team A's kick-off spots in hundredths of a pitch unit (y times endSign).
extern const int kickOffSpots[6][2];

// A corner is pending: its spot lies on a goal line's restart row.
bool isCornerRestart();
// A throw-in is pending and its taker holds the ball over his head.
bool throwInHeld();

void resetForKickOff();
// Phase 8 of stepPlayers while playState is Restart. Returns true when the
// rest of the stepPlayers call is to be skipped (the computer waits to kick).
bool handleRestart();
