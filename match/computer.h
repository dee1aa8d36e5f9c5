// The computer opponent: plays team B's active player in single-player mode.
#pragma once

// End of phase 10: the computer's active player with or without the ball.
void stepComputerPlayer();
// Phase 8: the computer takes its restart. Returns true while it still waits
// (computerDelay > 0), which ends the stepPlayers call.
bool computerRestartKick();
// Phase 9: the computer goalkeeper (player 11) clears the ball.
void computerGoalkeeperClearance();
