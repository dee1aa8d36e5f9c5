// The players nobody steers: fallen players get up, the rest keep formation and
// follow the ball by role; goalkeepers come out; everyone falls back while a
// goalkeeper holds the ball.
#pragma once

// Phase 10 of stepPlayers: the per-player loop of fallen players and roles.
void stepPositionalPlay();
// Phase 9 of stepPlayers, when a goalkeeper owns the ball (includes the
// computer goalkeeper's clearance).
void stepGoalkeeperPossession();
