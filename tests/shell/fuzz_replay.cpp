// Fuzzes the replay reader: whatever the bytes, it reads them or refuses them
// with one line, and a replay it takes plays to its end without a fault. The
// checksum is made to fit first, so that the fuzzer gets past it to the rest.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/driver.h"
#include "shell/replay_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    if (size >= 4) {
        uint32_t crc = replayChecksum(bytes.data(), size - 4);
        for (int i = 0; i < 4; i++) bytes[size - 4 + size_t(i)] = uint8_t(crc >> (8 * i));
    }
    Replay replay;
    std::string why;
    if (!readReplay(bytes.data(), size, replay, why)) {
        if (why.empty() || why.find('\n') != std::string::npos) __builtin_trap();
        return 0;
    }
    playReplay(replay);
    return 0;
}
