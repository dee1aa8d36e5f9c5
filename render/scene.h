// The match scene seen from the camera: grass, markings, players, ball, goals.
// Drawing reads the match and never changes it: the posing that goes with a
// drawn frame (posePlayers, turnBallWithOwner) is the match's own step, run
// between the rings and the figures.
#pragma once

#include <cstdint>

void drawGrass();
void drawMarkings();
// The rings under both active players, turned as they stood before posing.
void drawActiveRings();
// Every player and his shadow in the kit of his slot: kits[0] team A's field
// players, [1] team A's goalkeeper, [2] team B's field players, [3] team B's
// goalkeeper, each an index into the ten kit textures.
void drawPlayers(const int32_t kits[4]);
void drawBall(); // turned by match.ballAngle
void drawGoals();
