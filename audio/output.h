// Wave output and song control: one song sounds at a time, rendered a ring
// ahead by the output thread.
#pragma once

struct Song;

// Stops whatever plays and starts `song` from its beginning, looping (loop != 0)
// or as a one-shot. False for no song, no stream table or no audio device.
bool playSong(Song* song, int loop);
// Stops whatever plays (the argument only has to be some song). False for none.
bool stopSong(Song* song);
