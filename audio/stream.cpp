#include "audio/stream.h"

Song* musicSong = nullptr;
Song* kickSong = nullptr;
Song* challengeSong = nullptr;

// Filled in with the module player.
void loadSongs() {}
void freeSongs() {}
