// The page's storage: remembered options and recorded matches (web/page_store.cpp).
#pragma once

#include <cstdint>
#include <vector>

// Takes the options remembered from an earlier visit, if they are ones the
// option keys can reach (after start-up).
void pageSettingsRestore();
// Remembers the options whenever they changed (once a pass).
void pageSettingsKeep();
// A finished recording goes to the page's storage (a ReplaySink).
void pageKeepReplay(const std::vector<uint8_t>& file, void* context);
// Every match from now on is recorded into the browser's storage.
void pageRecordMatches();
// A replay file is playing instead of the game.
bool pageReplayShowing();
// One turn of the replay; its end brings the title back.
void pageReplayTurn();
