// The per-frame step of the twelve players: movement, boundaries, the goalkeeper
// leash, stumbling and sidestepping, the choice of each team's active player,
// then restarts, positional play and the computer opponent.
#pragma once

#include <cstdint>

// Drawn once per stepPlayers call; true on the computer's "smart" frames.
extern uint8_t smartFrame;
// City-block distance of each player to the ball, from the last stepPlayers call.
extern float distanceToBall[12];

void stepPlayers();
// Phase 1 of stepPlayers for one player: hold timer, side and goal lines,
// goalkeeper leash, the move, stumbling, sidestepping, animation, decay.
void movePlayer(int i);
