// libFuzzer target over the score reader: any text it accepts must become a
// module that the game's player loads.
#include "audio/xm.h"
#include "tools/musicgen/musicgen.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Score score;
    std::string error;
    if (!parseScore(std::string(reinterpret_cast<const char*>(data), size), &score, &error))
        return 0;
    std::vector<uint8_t> xm = buildXm(score);
    Song* song = loadSongFromMemory(xm.data(), xm.size());
    if (song == nullptr) std::abort();
    freeSong(song);
    return 0;
}
