// The page's "Play online": a room of the relay that served the page, over
// the page's own WebSocket. The page's buttons call webOnlineCreate, Join,
// Watch and Leave (online_page.cpp); while a room stands, the main loop's
// turns are the online part's (shell/online.h).
#pragma once

// The online part is on: its turn replaces the game's.
bool pageOnline();
void pageOnlineTurn();
// Leaves the room, if any: the game goes on offline.
void pageOnlineLeave();
