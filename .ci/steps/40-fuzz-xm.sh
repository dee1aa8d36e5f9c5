#!/usr/bin/env bash
# Fuzzes the XM loader and player for 60 s under AddressSanitizer and
# UndefinedBehaviorSanitizer, seeded with our modules and broken ones.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
      -DCMAKE_CXX_COMPILER=clang++ -DSOCCER_FUZZ=ON -DSOCCER_SANITIZE=address,undefined \
      -DSOCCER_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target xm_fuzz
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp tests/fuzz/corpus/* resources/*.xm "$corpus"/
if [ -d ../shared/corpus/xm-broken ]; then cp ../shared/corpus/xm-broken/* "$corpus"/; fi
./build-fuzz/tests/fuzz/xm_fuzz -max_total_time="${FUZZ_SECONDS:-60}" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 "$corpus" 2>&1 | tail -n 20
