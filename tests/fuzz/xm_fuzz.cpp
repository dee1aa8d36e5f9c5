// Loads the bytes as an XM module and, if they load, plays a quarter of a
// second of it the way the block renderer does: ticks interleaved with mixing.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "audio/mixer.h"
#include "audio/sequencer.h"
#include "audio/xm.h"
#include "resources/resources.h"

// The fuzzer reads no embedded modules.
ResourceBytes findResource(int, const char*) {
    return {nullptr, 0};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Song* song = loadSongFromMemory(data, size);
    if (song == nullptr) return 0;
    clearVoices();
    resetSongState(song);
    static float mix[2 * 1024];
    static int16_t out[2 * 1024];
    int left = 0;
    for (int done = 0; done < 11025;) {
        if (left == 0) {
            song->tickRoutine(song);
            left = song->samplesPerTick;
        }
        int n = left < 1024 ? left : 1024;
        std::memset(mix, 0, sizeof mix);
        mixVoices(mix, n);
        convertBlock(out, mix, n);
        left -= n;
        done += n;
    }
    freeSong(song);
    return 0;
}
