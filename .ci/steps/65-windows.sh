#!/usr/bin/env bash
# The Windows build: cross-built with MinGW-w64 (cmake/mingw-w64.cmake, the
# libraries of tools/mingw-deps.sh) and tested under Wine on a virtual X
# display against the Linux build in build/ (tests/windows/wine_test.sh): the
# unit tests, the golden traces, the snapshot frames, the real game, the
# installer. Prints how long the cross build and the tests under Wine took.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tools/install-deps.sh windows
start=$SECONDS
bash tools/mingw-deps.sh build-mingw-deps
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win -j2 --target soccer soccer-sim soccer-snapshot soccer-xmrender windows-dist \
      win32_platform_tests match_tests render_tests audio_tests resource_tests trace_tests >/dev/null
echo "cross build: $((SECONDS - start)) s"
ls -l build-win/soccer.exe build-win/packages/torvelun-soccer-* | awk '{ print "    " $5 " bytes  " $9 }'
cmake --build build -j2 --target soccer soccer-sim soccer-snapshot >/dev/null
start=$SECONDS
bash tests/windows/wine_test.sh build-win build
echo "tests under Wine: $((SECONDS - start)) s"
