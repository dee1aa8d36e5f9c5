#!/usr/bin/env bash
# The sanitizer build that .ci/run tests and .ci/steps/40-fuzz.sh fuzzes in:
# clang with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan,
# the libFuzzer targets beside the tests, no benchmarks. Builds the targets
# given, or everything.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
      -DCMAKE_CXX_COMPILER=clang++ -DSOCCER_SANITIZE=address,undefined -DSOCCER_FUZZ=ON \
      -DSOCCER_BENCH=OFF -DCMAKE_ASM_FLAGS=-Wno-unused-command-line-argument >/dev/null
targets=()
[ $# -eq 0 ] || targets=(--target "$@")
cmake --build build-asan -j2 "${targets[@]}"
