#!/usr/bin/env bash
# Fuzzes the bitmap decoder for a short while, starting from the game's own
# bitmaps (clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer).
set -euo pipefail
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOCCER_FUZZ=ON \
    -DSOCCER_SANITIZE=address,undefined -DSOCCER_BENCH=OFF \
    -DCMAKE_ASM_FLAGS=-Wno-unused-command-line-argument >/dev/null
cmake --build build-fuzz -j2 --target fuzz_bitmap
corpus=build-fuzz/corpus-bitmap
mkdir -p "$corpus"
cp resources/*.bmp "$corpus"/
build-fuzz/tests/art/fuzz_bitmap -max_total_time=20 -rss_limit_mb=1024 -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
