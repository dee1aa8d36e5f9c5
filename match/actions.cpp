#include "match/actions.h"

float playerDistance(int, int) { return 0; }
void facePoint(int, float, float) {}
void runToward(int, float, float) {}
void headFor(int, float, float) {}
int findOpponentInReach(int, float) { return -1; }
void tackle(int, float) {}
void slideTackle(int, float) {}
void kickBall(float) {}
