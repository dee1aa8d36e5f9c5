#!/usr/bin/env bash
# Fuzzes the music generator's score reader for a short while, starting from the
# game's own scores (clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer).
set -euo pipefail
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOCCER_FUZZ=ON \
    -DSOCCER_SANITIZE=address,undefined -DSOCCER_BENCH=OFF \
    -DCMAKE_ASM_FLAGS=-Wno-unused-command-line-argument >/dev/null
cmake --build build-fuzz -j2 --target fuzz_score
corpus=build-fuzz/corpus-score
mkdir -p "$corpus"
cp tools/musicgen/*.score "$corpus"/
build-fuzz/tests/music/fuzz_score -max_total_time=20 -max_len=16384 -rss_limit_mb=1024 \
    -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
