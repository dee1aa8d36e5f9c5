#!/usr/bin/env bash
# Runs the audio tests under ThreadSanitizer: among them songs started and
# stopped from the main thread against a running output thread.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOCCER_SANITIZE=thread \
      -DSOCCER_BENCH=OFF >/dev/null
cmake --build build-tsan -j2 --target audio_thread_tests
./build-tsan/tests/audio/audio_thread_tests --gtest_brief=1
