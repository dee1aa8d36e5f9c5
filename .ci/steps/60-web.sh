#!/usr/bin/env bash
# The page for web browsers: built with emscripten and played in headless
# Chromium against the desktop build's goldens, frames, sound and matches
# (tests/web/browser_test.py). Uses soccer-snapshot and soccer-sim of build/.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tools/install-deps.sh web
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-web -j2
cmake --build build -j2 --target soccer-snapshot soccer-sim >/dev/null
python3 tests/web/browser_test.py --web build-web --native build
