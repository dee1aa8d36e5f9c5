#!/usr/bin/env bash
# Without a display the game says so in one line and ends with status 1.
# Where some video device does open after all, the game runs: that is no
# failure of this rule, so the check is skipped.
soccer=$1
out=$(env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY=:32767 timeout 10 "$soccer" 2>&1 >/dev/null)
rc=$?
[ $rc -eq 124 ] && exit 77
lines=$(printf '%s\n' "$out" | grep -c '^soccer: ')
if [ $rc -ne 1 ] || [ "$lines" -ne 1 ] || ! printf '%s\n' "$out" | grep -q '^soccer: no display: .'; then
    echo "status $rc, output: $out"
    exit 1
fi
