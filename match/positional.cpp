#include "match/positional.h"

// Filled in with the positional play.
void stepPositionalPlay() {}
void stepGoalkeeperPossession() {}
