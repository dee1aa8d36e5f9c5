#!/usr/bin/env bash
# The sanitizer build that .ci/run tests and .ci/steps/40-fuzz.sh fuzzes in:
# clang with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan,
# the libFuzzer targets beside the tests, no benchmarks. Builds the targets
# given, or everything. Line tables are all the debug information a sanitizer
# report needs for file and line, and they compile a sixth faster than -g.
set -euo pipefail
cd "$(dirname "$0")/.."
flags="-O2 -gline-tables-only -DNDEBUG"
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
         -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags"
         -DSOCCER_SANITIZE=address,undefined -DSOCCER_FUZZ=ON -DSOCCER_BENCH=OFF
         -DCMAKE_ASM_FLAGS=-Wno-unused-command-line-argument)
# Configured once for these options: configuring writes the resources' assembly
# afresh, which would link every program again.
if [ "$(cat build-asan/ci-options 2>/dev/null)" != "${options[*]}" ]; then
    cmake -S . -B build-asan "${options[@]}" >/dev/null
    echo "${options[*]}" >build-asan/ci-options
fi
targets=()
[ $# -eq 0 ] || targets=(--target "$@")
cmake --build build-asan -j2 "${targets[@]}"
