// The page's storage: remembered options and recorded matches (web/page_store.cpp).
#pragma once

// Takes the options remembered from an earlier visit, if they are ones the
// option keys can reach (after start-up).
void pageSettingsRestore();
// Remembers the options whenever they changed (once a pass).
void pageSettingsKeep();
// Every match from now on is recorded into the browser's storage.
void pageRecordMatches();
// A replay file is playing instead of the game.
bool pageReplayShowing();
// One turn of the replay; its end brings the title back.
void pageReplayTurn();
