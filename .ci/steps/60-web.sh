#!/usr/bin/env bash
# The page for web browsers: built with emscripten (with WebAssembly SIMD and
# without), its span loops tested under node, and played in headless Chromium
# against the desktop build's goldens, frames, sound and matches, on a phone's
# screen by touch, and offline (tests/web/browser_test.py); then online against
# the desktop through the relay (tests/web/crossplay_test.py). Uses
# soccer-snapshot, soccer-sim, soccer-relay and crossplay_guest of build/, and
# its shell_bench for the desktop's pass time.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tools/install-deps.sh web
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-web -j2
ctest --test-dir build-web --output-on-failure --no-tests=error
cmake --build build -j2 --target soccer-snapshot soccer-sim soccer-relay crossplay_guest >/dev/null
python3 tests/web/browser_test.py --web build-web --native build
# Cross-play through soccer-relay on 127.0.0.1: the page hosts, the desktop's
# game without a window joins, a second page watches (about 2.5 minutes: the
# match is played out in real time).
python3 tests/web/crossplay_test.py --web build-web --native build
