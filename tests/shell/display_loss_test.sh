#!/usr/bin/env bash
# When the X server ends under the running game (title music playing, so the
# audio thread runs), the game says so in one line and ends with status 1.
# Skipped where Xvfb or xdotool is missing.
soccer=$1
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || exit 77
dir=$(mktemp -d)
trap 'rm -rf "$dir"; kill $xvfb $game 2>/dev/null' EXIT
exec 3>"$dir/display"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$dir/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$dir/display")
SDL_AUDIODRIVER=dummy "$soccer" >"$dir/out" 2>&1 &
game=$!
sleep 2
xdotool key Escape # past the boot screen to the title and its music
sleep 2
kill $xvfb
wait $game
rc=$?
lines=$(wc -l <"$dir/out")
if [ $rc -ne 1 ] || [ "$lines" -ne 1 ] || ! grep -q '^soccer: the display went away$' "$dir/out"; then
    echo "status $rc, output:"
    cat "$dir/out"
    exit 1
fi
