// libFuzzer target over soccer's own command line: the bytes are split at zero
// bytes into arguments, which must start the game, print, or be refused in one
// line, without harm.
#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "shell/launch.h"
#include "tests/shell/fuzz_words.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words = fuzzArguments("soccer", data, size);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    LaunchOptions options{};
    std::ostringstream out, err;
    int status = parseLaunchOptions(static_cast<int>(argv.size()), argv.data(), options, out, err);
    std::string failed = err.str();
    if (status != -1 && status != 0 && status != 2) __builtin_trap();
    if ((status == 2) != !failed.empty()) __builtin_trap();
    if (std::count(failed.begin(), failed.end(), '\n') > 1) __builtin_trap();
    if (status == -1 && int(options.display.scale) > int(ScaleMode::Fit)) __builtin_trap();
    return 0;
}
