// What online play shows over the game's own screens, in the game's font: the
// host's waiting box with its addresses, the guest's connecting box, the wait
// for the other player with its countdown, the line that says why a match
// ended, and the F12 readout (round trip, input delay, rollbacks, waits).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/session.h"

void onlineScreenWaiting(uint16_t port, const std::vector<std::string>& addresses);
void onlineScreenJoining(const std::string& peer);
// The box at the bottom of the title with these lines (the relay's lobby).
void onlineScreenLines(const std::vector<std::string>& lines);
// Why the online part ended ("" for a match played out), shown on the title
// for a while.
void onlineScreenNotice(const std::string& why, uint32_t nowMs);
// This frame's figures of a match under way.
void onlineScreenMatch(const NetSession& session, uint32_t nowMs);
void onlineScreenToggleReadout();
// The lines of the box as the next frame draws them (none when no box shows).
std::vector<std::string> onlineScreenShown();
// Draws the boxes over the frame (the present hook).
void onlineScreenDraw();
// Draws the game as it stands and leaves it so: what the frame's drawing does
// to the match (its rules) is undone; the camera keeps its move.
void onlineDrawWithoutPass();
