// The instant goal replay: while a match is played in the window, the state
// after every pass of the last five seconds is kept; during a goal's
// celebration R shows those passes again, from their saved states, with
// "REPLAY" on the screen. Then the state as it was when R was pressed is put
// back, so the match goes on exactly as it would have: no pass runs meanwhile
// (as in a pause), and nothing of it reaches the match or a recording.
#pragma once

#include <cstdint>

// Whether R is offered at all. A network match clears it (both sides must run
// the same passes at the same time); it is set at start.
extern bool instantReplayOffered;

// After each pass of the window's loop: keeps its state while a match is
// played (not during a celebration, so the last seconds before the goal stay).
void instantReplayKeep(uint32_t frameMs);
// R during a goal's celebration: true when the replay will show.
bool instantReplayRequest();
// True while the replay shows: gameTurn calls instantReplayTurn in place of a pass.
bool instantReplayShowing();
// Draws the next saved pass; after the last one puts the game back as it was.
void instantReplayTurn();
// Forgets what was kept (a new match, a replay played back).
void instantReplayClear();
