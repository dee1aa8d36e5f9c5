#include "match/computer.h"

// Filled in with the computer opponent.
void stepComputerPlayer() {}
bool computerRestartKick() { return false; }
void computerGoalkeeperClearance() {}
