#include "render/scene.h"

// Placeholder until the scene drawing lands.
float ballAngle;
void drawGrass() {}
void drawMarkings() {}
void drawPlayers() {}
void drawBall() {}
void drawGoals() {}
