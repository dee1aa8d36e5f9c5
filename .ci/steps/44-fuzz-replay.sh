#!/usr/bin/env bash
# Fuzzes the replay reader for a short while, and plays every replay it takes
# (clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer),
# starting from the golden traces.
set -euo pipefail
cd "$(dirname "$0")/../.."
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOCCER_FUZZ=ON \
    -DSOCCER_SANITIZE=address,undefined -DSOCCER_BENCH=OFF \
    -DCMAKE_ASM_FLAGS=-Wno-unused-command-line-argument >/dev/null
cmake --build build-fuzz -j2 --target fuzz_replay
corpus=build-fuzz/corpus-replay
mkdir -p "$corpus"
cp tests/traces/*.replay "$corpus"/
build-fuzz/tests/shell/fuzz_replay -max_total_time=30 -max_len=48000 -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
