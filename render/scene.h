// The match scene seen from the camera: grass, markings, players, ball, goals.
#pragma once

// Rotation of the ball sprite: the owner's heading, kept while the ball is loose.
extern float ballAngle;

void drawGrass();
void drawMarkings();
void drawPlayers(); // also turns moving players and steps their animation
void drawBall();
void drawGoals();
