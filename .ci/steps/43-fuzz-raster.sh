#!/usr/bin/env bash
# Fuzzes the software rasterizer for a short while with arbitrary states,
# matrices, textures and vertices (clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer): nothing may be written outside the frame.
set -euo pipefail
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOCCER_FUZZ=ON \
    -DSOCCER_SANITIZE=address,undefined -DSOCCER_BENCH=OFF \
    -DCMAKE_ASM_FLAGS=-Wno-unused-command-line-argument >/dev/null
cmake --build build-fuzz -j2 --target fuzz_raster
corpus=build-fuzz/corpus-raster
mkdir -p "$corpus"
build-fuzz/tests/render/fuzz_raster -max_total_time=20 -max_len=4096 -rss_limit_mb=1024 \
    -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
