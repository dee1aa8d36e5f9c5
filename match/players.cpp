#include "match/players.h"

uint8_t smartFrame;
float distanceToBall[12];

void stepPlayers() {}
