#!/usr/bin/env bash
# Installs what the game and soccer-relay need to build ("game"), what the build, the tests,
# the sanitizers, the fuzzers and the benchmarks need ("test"), or what the
# page for web browsers and its test in Chromium need ("web"), or what the
# Windows build needs, cross-built with MinGW-w64 and tested under Wine
# ("windows"), on Debian.
# libboost-dev: Boost.Beast and Asio, header-only, for online play; libssl-dev:
# OpenSSL, for the desktop game's wss:// (the Windows build goes without).
# The renderer's benchmark compares with Mesa's llvmpipe through EGL and OpenGL.
set -euo pipefail
what=${1:-game}
packages=(cmake g++ make pkg-config libsdl2-dev libpng-dev libcli11-dev nlohmann-json3-dev libboost-dev
          libssl-dev)
if [ "$what" = test ]; then
    packages+=(googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
               libxmp-dev libopenmpt-dev clang-format clang-tidy xvfb xdotool
               desktop-file-utils appstream dpkg-dev file
               libegl-dev libgl-dev libopengl-dev libegl-mesa0 libgl1-mesa-dri)
fi
# The browser test needs Chromium itself, not what a desktop user would want
# with it (printing, notifications, fonts): no recommended packages there.
# GoogleTest's sources build the span loops' test for node (tests/web/).
options=()
if [ "$what" = web ]; then
    packages=(cmake make emscripten chromium python3 googletest)
    options=(--no-install-recommends)
fi
# libpng is built from Debian's source package (tools/mingw-deps.sh, with
# dpkg-dev), GoogleTest from Debian's sources in /usr/src/googletest.
if [ "$what" = windows ]; then
    packages=(cmake make g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest libcli11-dev
              nlohmann-json3-dev libboost-dev dpkg-dev nsis wine wine64 xvfb xdotool x11-apps python3)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${options[@]}" "${missing[@]}" >/dev/null
