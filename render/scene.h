// The match scene seen from the camera: grass, markings, players, ball, goals.
#pragma once

// Rotation of the ball sprite: the owner's heading, kept while the ball is loose.
extern float ballAngle;

void drawGrass();
void drawMarkings();
void drawPlayers(); // also turns moving players and steps their animation
// What drawing does to player i's state: a moving player turns toward his
// direction, a standing one shows the standing cell, the run phase wraps. Kicks
// go the way a player faces, so headless matches pose the players too.
void poseDrawnPlayer(int i);
void drawBall();
void drawGoals();
