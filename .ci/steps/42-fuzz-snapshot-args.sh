#!/usr/bin/env bash
# Fuzzes soccer-snapshot's command-line reader for a short while (clang with
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer).
set -euo pipefail
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOCCER_FUZZ=ON \
    -DSOCCER_SANITIZE=address,undefined -DSOCCER_BENCH=OFF \
    -DCMAKE_ASM_FLAGS=-Wno-unused-command-line-argument >/dev/null
cmake --build build-fuzz -j2 --target fuzz_snapshot_args
corpus=build-fuzz/corpus-snapshot-args
mkdir -p "$corpus"
cp tests/shell/fuzz_corpus/* "$corpus"/
build-fuzz/tests/shell/fuzz_snapshot_args -max_total_time=15 -max_len=512 -rss_limit_mb=1024 \
    -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
