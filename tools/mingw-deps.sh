#!/usr/bin/env bash
# Fills the prefix that cmake/mingw-w64.cmake searches with what Debian does
# not package for MinGW-w64: libpng, built from Debian's own source package
# (its patches applied) against libz-mingw-w64-dev; GoogleTest from Debian's
# /usr/src/googletest; and the header-only CLI11, nlohmann/json and Boost as Debian
# installs them. Static libraries only. Runs once: a filled prefix is kept.
# Usage: tools/mingw-deps.sh [PREFIX] (default build-mingw-deps)
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$(realpath -m "${1:-build-mingw-deps}")
[ -f "$prefix/.done" ] && [ -e "$prefix/include/boost" ] && exit 0
toolchain=$PWD/cmake/mingw-w64.cmake
work=$prefix/src
rm -rf "$prefix"
mkdir -p "$work" "$prefix/include" "$prefix/share/cmake"

# cmake_install DIR ARGS...: configures, builds and installs one library.
cmake_install() {
    local dir=$1
    shift
    cmake -S "$dir" -B "$dir/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
          -DSOCCER_MINGW_DEPS="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" \
          -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$dir/build" -j2 >/dev/null
    cmake --install "$dir/build" >/dev/null
}

# libpng's Debian source through a list of source packages of its own, so
# that the system's apt configuration stays as it is.
apt_dir=$work/apt
mkdir -p "$apt_dir/lists/partial"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main" \
    >"$apt_dir/sources.list"
apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o "Dir::State::Lists=$apt_dir/lists" -o APT::Sandbox::User=root)
apt-get "${apt_options[@]}" update -qq
(cd "$work" && apt-get "${apt_options[@]}" source -qq libpng1.6 >/dev/null 2>&1)
png_dir=$(find "$work" -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1)
cmake_install "$png_dir" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON

cp -r /usr/src/googletest "$work/googletest"
cmake_install "$work/googletest" -Dgtest_disable_pthreads=OFF

cp -r /usr/include/CLI /usr/include/nlohmann "$prefix/include/"
# Boost (Beast and Asio for online play) is header-only too, and large: linked, not copied.
ln -s /usr/include/boost "$prefix/include/boost"
cp -r /usr/share/cmake/CLI11 /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"
rm -rf "$work"
touch "$prefix/.done"
