#!/usr/bin/env bash
# Fuzzes soccer-sim's command-line parser for a short while (clang's libFuzzer).
set -euo pipefail
CC=clang CXX=clang++ cmake -S . -B build-fuzz-sim -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOCCER_FUZZ=ON \
    -DSOCCER_TESTS=OFF -DSOCCER_BENCH=OFF >/dev/null
cmake --build build-fuzz-sim -j2 --target fuzz-sim-args
mkdir -p build-fuzz-sim/corpus-sim-args
printf -- '--matches\0003\0--ms-range\0000:1000' >build-fuzz-sim/corpus-sim-args/seed1
./build-fuzz-sim/fuzz-sim-args -max_total_time=20 -max_len=128 build-fuzz-sim/corpus-sim-args
