// The controls screen, reached from the title with F11: for each player and
// each action in turn it asks for a key. A key already used (by another
// action or the pause), a flow key (ESC, SPACE, the function keys) or a key
// without a place is refused; ESC keeps the old key and asks for the next.
// Last, LEFT and RIGHT choose the pad button that pauses (or none), and
// RETURN or ESC goes back to the title. The screen lies beside the
// match: nothing it does reaches the match's state or a replay.
#pragma once

#include <cstdint>

struct ControlsScreen {
    bool active = false;
    int step = 0;         // player * ActionCount + action; then the pad's pause button
    bool refused = false; // the last key was refused
};
extern ControlsScreen controlsScreen;

void openControlsScreen();
// A key-down while the screen shows: the virtual-key code and the scancode.
void controlsScreenKey(int vk, int scancode);
void drawControlsScreen();
