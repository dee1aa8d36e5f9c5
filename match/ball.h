// The ball step and the rules of play: gaining a loose ball, rolling, flight
// and curl, out of play, throw-ins, corners, goal kicks, posts and goals.
#pragma once

void stepBall();
