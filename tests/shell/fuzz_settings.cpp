// Fuzzes the settings reader: whatever the file holds, it gives settings the
// game can run with (every value one the options can take, no key used twice),
// and what it gives reads back the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bad;
    const Settings s =
        settingsFromText(std::string(reinterpret_cast<const char*>(data), size), bad);
    if (!controlsValid(s.controls) || s.strength % 20 != 0 || s.strength < 20 || s.strength > 100)
        __builtin_trap();
    if (s.duration % 30 != 0 || s.duration < 90 || s.duration > 180) __builtin_trap();
    for (int k = 0; k < 4; k++)
        if (s.kits[k] < 0 || s.kits[k] > 9) __builtin_trap();
    std::string again;
    if (!(settingsFromText(settingsText(s), again) == s) || !again.empty()) __builtin_trap();
    return 0;
}
