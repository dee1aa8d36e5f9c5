// Fuzzes soccer-sim's argument parser: the input is split at zero bytes into
// arguments.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tools/sim/args.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words(1, "soccer-sim");
    std::string word;
    for (size_t i = 0; i < size; i++) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(char(data[i]));
        }
    }
    words.push_back(word);
    std::vector<const char*> argv;
    argv.reserve(words.size());
    for (const std::string& w : words) argv.push_back(w.c_str());
    SimSettings settings;
    char error[64];
    if (parseSimArguments(int(argv.size()), argv.data(), &settings, error, sizeof error)) {
        MatchStats stats{};
        stats.seed = settings.driver.seed;
        stats.strength = settings.driver.strength;
        char line[512];
        formatMatchLine(stats, settings.json, line, sizeof line);
    } else if (std::memchr(error, 0, sizeof error) == nullptr) {
        __builtin_trap(); // the message must always be terminated
    }
    return 0;
}
