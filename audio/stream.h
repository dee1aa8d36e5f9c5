// Memory streams over the embedded XM modules, and the song table. The loader
// pulls every byte through the five operations of `streamOps`.
#pragma once

#include <cstddef>
#include <cstdint>

struct Song;

// A stream handle is whatever the installed open operation returns.
using StreamOpen = void* (*)(int resourceId);
using StreamClose = void (*)(void* stream);
using StreamRead = int (*)(void* destination, int length, void* stream);
using StreamSeek = void (*)(void* stream, int offset, int origin);
using StreamTell = int (*)(void* stream);

struct StreamOps {
    StreamOpen open;
    StreamClose close;
    StreamRead read;
    StreamSeek seek;
    StreamTell tell;
};

extern StreamOps streamOps;

// Stores all five operations, or clears the table when any one is missing.
void installStreamOps(StreamOpen open, StreamClose close, StreamRead read, StreamSeek seek,
                      StreamTell tell);
bool streamOpsComplete();

// A read cursor over bytes that outlive it (an embedded resource).
struct MemoryStream {
    int32_t size;
    int32_t position; // 0 ... size
    const uint8_t* data;
};

// Opens the "XM" resource `resourceId`; a missing one gives an empty stream.
void* openResourceStream(int resourceId);
// A stream over bytes the caller owns; sizes beyond 2^31 - 1 give an empty one.
MemoryStream memoryStreamOver(const uint8_t* data, size_t size);
void closeStream(void* stream);
int readStream(void* destination, int length, void* stream);
// Origin 0 from the start, 1 from the position, 2 from the end; the result is
// kept within 0 ... size.
void seekStream(void* stream, int offset, int origin);
int tellStream(void* stream);

extern Song* musicSong;     // 150: title music, looping
extern Song* kickSong;      // 148: a kick in open play
extern Song* challengeSong; // 152: a tackle that hits

void loadSongs();
void freeSongs();
