#!/usr/bin/env bash
# Every program that plays a replay refuses a bad one with one line naming the
# file and the fault, and exit status 1, before it opens anything.
set -u
soccer=$1 sim=$2 snapshot=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf 'TSREPLAY\002\000' >"$dir/newer.replay"
printf 'not a replay at all' >"$dir/other.replay"
head -c 30 /dev/zero >"$dir/zeros.replay"
fail=0
for file in newer other zeros missing; do
    for run in "$soccer --replay" "$sim --replay" "$snapshot --replay"; do
        out=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 $run "$dir/$file.replay" 2>&1 >/dev/null)
        rc=$?
        lines=$(printf '%s\n' "$out" | wc -l)
        if [ $rc -ne 1 ] || [ "$lines" -ne 1 ] || [[ "$out" != *"$file.replay: "?* ]]; then
            echo "${run%% *} on $file: status $rc, output: $out"
            fail=1
        fi
    done
done
exit $fail
