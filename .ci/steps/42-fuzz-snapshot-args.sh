#!/usr/bin/env bash
# Fuzzes the command-line readers of soccer-snapshot and of soccer itself for a
# short while each (clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer).
set -euo pipefail
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOCCER_FUZZ=ON \
    -DSOCCER_SANITIZE=address,undefined -DSOCCER_BENCH=OFF \
    -DCMAKE_ASM_FLAGS=-Wno-unused-command-line-argument >/dev/null
cmake --build build-fuzz -j2 --target fuzz_snapshot_args fuzz_launch_args
for target in snapshot_args:fuzz_corpus launch_args:fuzz_corpus_launch; do
    name=${target%%:*}
    corpus=build-fuzz/corpus-${name//_/-}
    mkdir -p "$corpus"
    cp "tests/shell/${target#*:}"/* "$corpus"/
    build-fuzz/tests/shell/fuzz_$name -max_total_time=15 -max_len=512 -rss_limit_mb=1024 \
        -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
done
