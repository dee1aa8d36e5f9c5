# Cross-building the Windows game on Debian with MinGW-w64 (the POSIX-threads
# flavour, for std::thread):
#   bash tools/mingw-deps.sh build-mingw-deps
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#   cmake --build build-win -j2
# Everything links statically: soccer.exe needs no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)
set(CMAKE_ASM_COMPILER ${mingw_triple}-gcc-posix)

# The libraries Debian does not package for MinGW (libpng, GoogleTest, and
# the header-only CLI11 and nlohmann/json) are built or copied into this
# prefix by tools/mingw-deps.sh; zlib comes from libz-mingw-w64-dev.
set(SOCCER_MINGW_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build-mingw-deps" CACHE PATH
    "The prefix tools/mingw-deps.sh filled")
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple} ${SOCCER_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The static zlib: libz.dll.a would tie the game to zlib1.dll.
set(ZLIB_LIBRARY /usr/${mingw_triple}/lib/libz.a CACHE FILEPATH "zlib, static")

# The C++ runtime, winpthread and everything else inside the executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# A release build's programs without their symbols: a smaller download.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
# GCC does not align the stack to 32 bytes on Win64, yet spills AVX2 vectors
# with aligned moves: the assembler turns those into unaligned ones.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
# Test discovery and the build's own steps run the programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
