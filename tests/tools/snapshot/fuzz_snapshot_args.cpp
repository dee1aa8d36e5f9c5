// libFuzzer target over soccer-snapshot's command line: the bytes are split at
// zero bytes into arguments, which must be read or refused without harm.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/shell/fuzz_words.h"
#include "tools/snapshot/snapshot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    std::vector<std::string> words = fuzzArguments("soccer-snapshot", data, size);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    SnapshotPlan plan;
    if (parseSnapshotArgs(static_cast<int>(words.size()), argv.data(), plan, sink)) {
        // Every accepted pass number is 1 or more, every path non-empty.
        for (const SnapshotKey& k : plan.keys)
            if (k.pass < 1 || k.vk < 0) __builtin_trap();
        for (const SnapshotFile& f : plan.shots)
            if (f.pass < 1 || !f.path[0]) __builtin_trap();
        for (const SnapshotFile& f : plan.states)
            if (f.pass < 1 || !f.path[0]) __builtin_trap();
        // A replay brings its own clock, seed and keys.
        if (plan.replay && (plan.scripted || plan.record)) __builtin_trap();
    }
    return 0;
}
