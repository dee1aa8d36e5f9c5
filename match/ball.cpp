#include "match/ball.h"

void stepBall() {}
