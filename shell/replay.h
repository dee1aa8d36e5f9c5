// Recording matches and playing them back. Both sit at the platform layer's
// edge (platform/platform.h, PlatformTap): a recording keeps each pass's
// millisecond readings, the message the window procedure got and the changes
// of the key-state snapshot, whatever produced them; a playback hands the game
// the same, so the match runs again bit for bit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/replay_file.h"

// Every pass calls these first and last (shell/game.cpp).
void replayPassBegins();
void replayPassEnds();

// Recording. Where a finished recording goes: the bytes of a replay file.
using ReplaySink = void (*)(const std::vector<uint8_t>& file, void* context);
// From now on every match is recorded from the pass that starts it (F1, F2) to
// the pass that leaves it (the title shows again, the game ends), or to the
// pass before the next match starts.
void replayRecorderStart(ReplaySink sink, void* context);
// Starts a recording now, from the state as it is (a match started outside a
// pass, as the headless driver does).
void replayRecordFromHere();
// Finishes the recording under way, if any, and hands it to the sink.
void replayRecordingEnd();
// Finishes what is under way and stops recording.
void replayRecorderStop();

// Playback. Puts the replay's state into the game (after start-up, if there is
// one) and feeds its passes to the next gamePass or gamePassWithoutDrawing
// calls. With `paced`, each pass waits until its recorded time has come, and a
// real ESC, a closed window or a lost focus stops the playback.
void replayPlaybackStart(const Replay& replay, bool paced);
// Watching at its own pace: how many passes one displayed frame plays (1;
// FastForward while F is held or after G; 0 while N skips to the next goal or
// restart: as many as can be).
constexpr int FastForward = 4;
int replayWatchSpeed();
// True once every pass was played, or the player stopped it.
bool replayPlaybackDone();
// Passes played so far.
uint32_t replayPlaybackPasses();
// False when the game asked for other readings or messages than the recording
// holds: this game no longer plays the replay as it was recorded.
bool replayPlaybackFaithful();
void replayPlaybackStop();

// The state hash a replay's end hash is compared with.
uint64_t replayStateHash();

// soccer --replay FILE: the replay in the window at its own pace. Exit status.
int playReplayInWindow(const std::string& path);
// Where soccer keeps its replays: $XDG_DATA_HOME/torvelun-soccer/replays, or
// ~/.local/share/torvelun-soccer/replays; "" when neither can be told.
std::string replayFolder();
// Saves a finished recording into the folder (a ReplaySink; context: the
// folder as a std::string) and keeps only the newest KeptReplays there.
constexpr int KeptReplays = 50;
void saveReplayInFolder(const std::vector<uint8_t>& file, void* folder);
