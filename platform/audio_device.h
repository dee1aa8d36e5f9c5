// The audio device under the wave output: 44100 Hz, 16-bit stereo. It plays one
// caller-owned buffer from its start, looping over the whole given length or
// once, and reports the bytes played as a 64-bit count that never wraps.
// Opened once, it stays open (playing silence between buffers) until closed,
// so that handing it a new buffer costs the caller next to nothing.
// A second device of the same shape is driven by the caller instead of a sound
// card, for tests and tools.
#pragma once

#include <cstdint>

// Opens the device, or finds it open; false when there is none (the game then
// stays silent). A run without a sound card does not ask again after the
// first failure.
bool audioDeviceOpen();
void audioDeviceClose();
// Starts playing `bytes` bytes of `buffer` from its start; the caller keeps the
// buffer alive until audioDeviceReset.
void audioDevicePlay(const int16_t* buffer, uint32_t bytes, bool loop);
uint64_t audioDeviceBytesPlayed();
// Called by whoever writes into the playing buffer after each write: the
// device reads what was written before the call (release, and acquire before
// every read of the buffer). The device only reads bytes the count says it
// has not yet played; the writer only writes bytes it has.
void audioDeviceBufferWritten();
// Stops playback and hands the buffer back; the device stays open.
void audioDeviceReset();

// Selects the caller-driven device or the sound card, closing an open device
// of the other kind (nothing may be playing).
void audioDeviceUseManual(bool manual);
bool audioDeviceIsManual();
// Caller-driven device: plays `frames` frames and copies what is heard to `out`
// (frames x 2 samples; silence where nothing plays), if out is not null.
// It plays in steps of at most manualStepFrames and calls the poll function
// (if one is set) after each step, so the output can render the blocks the
// device has left right there, on the caller's thread: what is heard then
// depends only on the song, never on thread timing or on how the caller
// splits its advances. (The wave output then starts no thread of its own;
// see outputThreadWithManualDevice in audio/output.h.)
void audioDeviceManualAdvance(uint32_t frames, int16_t* out);
void audioDeviceSetManualPoll(void (*poll)());
// Puts the calling thread (the wave output's) at the highest priority the
// system grants it.
void audioDeviceRaiseThreadPriority();
constexpr uint32_t manualStepFrames = 441;
