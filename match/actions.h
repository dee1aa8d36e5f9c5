// What a player does: face a point, run toward it, kick, tackle, and the test
// for an opponent in reach used by the movement step.
#pragma once

#include <cstdint>

float playerDistance(int a, int b);
void facePoint(int p, float x, float y);
void runToward(int p, float x, float y);
void headFor(int p, float x, float y); // runToward, then facePoint
int findOpponentInReach(int p, float reach);
// findOpponentInReach in parts, for a caller that tests one player many times
// while nobody else moves: the opponents who can be met at all (not fallen,
// not goalkeepers) in index order, the radius of a reach, and the first of
// those opponents within it.
int opponentsOf(int p, int8_t out[12]);
double collisionRadius(int p, float reach);
int findOpponentAmong(int p, const int8_t* candidates, int count, double radius);
void tackle(int p, float reach);
void slideTackle(int p, float reach);
void kickBall(float power); // the ball owner kicks; nothing happens without an owner

// The posing that goes with drawing a frame: a moving player turns toward his
// direction, a standing one shows the standing cell, the run phase wraps. Kicks
// go the way a player faces, so headless matches pose the players too.
void posePlayer(int i);
void posePlayers();
// The ball sprite turns with its owner, except while a throw-in is held.
void turnBallWithOwner();
