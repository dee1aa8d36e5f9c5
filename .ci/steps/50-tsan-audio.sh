#!/usr/bin/env bash
# Runs the audio tests under ThreadSanitizer: among them songs started and
# stopped from the main thread against a running output thread, and the
# game's own path through SDL's dummy driver (music for more than a lap of the
# ring, then effects, then silence). That path must run here, not be skipped.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOCCER_SANITIZE=thread \
      -DSOCCER_BENCH=OFF >/dev/null
cmake --build build-tsan -j2 --target audio_thread_tests
SDL_AUDIODRIVER=dummy ./build-tsan/tests/audio/audio_thread_tests --gtest_brief=1 2>&1 |
    tee build-tsan/audio_thread_tests.log
if grep -q "SKIPPED" build-tsan/audio_thread_tests.log; then
    echo "the sound-card tests were skipped: SDL's dummy audio driver did not open" >&2
    exit 1
fi
