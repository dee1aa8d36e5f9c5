// Memory streams over the embedded XM modules, and the song table.
#pragma once

struct Song;

extern Song* musicSong;     // 150: title music, looping
extern Song* kickSong;      // 148: a kick in open play
extern Song* challengeSong; // 152: a tackle that hits

void loadSongs();
void freeSongs();
