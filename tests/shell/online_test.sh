#!/usr/bin/env bash
# Two real games on 127.0.0.1, each on an X server of its own: one hosts, one
# joins, and a script plays a whole match (90 clock seconds, about two
# minutes) with their keys: runs, shots, any key at READY, SPACE after the
# final whistle. Both machines must keep the same replay, and it must play to
# the state it recorded. Skipped where Xvfb or xdotool is missing.
soccer=$1
sim=$2
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || exit 77
dir=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$dir"' EXIT

# server NAME: an X server on a free display; prints its number.
server() {
    exec 3>"$dir/$1.display"
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$dir/$1.display" ] && break; sleep 0.1; done
    cat "$dir/$1.display"
}
hostDisplay=:$(server host)
guestDisplay=:$(server guest)
port=$((20000 + RANDOM % 20000))

# game NAME DISPLAY ARGS...: the game with a replay folder of its own.
game() {
    local name=$1 display=$2
    shift 2
    mkdir -p "$dir/$name"
    DISPLAY=$display XDG_DATA_HOME="$dir/$name" SDL_AUDIODRIVER=dummy \
        "$soccer" --window "$@" >"$dir/$name.log" 2>&1 &
    pids+=($!)
}
game host "$hostDisplay" --host "$port"
sleep 1
game guest "$guestDisplay" --join "127.0.0.1:$port"
sleep 3

# press DISPLAY xdotool-args...: keys for the game on that display.
press() {
    local display=$1
    shift
    DISPLAY=$display xdotool "$@" 2>/dev/null
}
replays() {
    ls "$dir"/host/torvelun-soccer/replays/*.replay "$dir"/guest/torvelun-soccer/replays/*.replay 2>/dev/null | wc -l
}
# Both run at the ball's end of the pitch and shoot now and then; every few
# seconds one side presses a key (READY) or SPACE (after the final whistle).
start=$SECONDS
round=0
while [ "$(replays)" -lt 2 ] && [ $((SECONDS - start)) -lt 200 ]; do
    round=$((round + 1))
    keys=(Up Left Down Right)
    press "$hostDisplay" keydown "${keys[$((round % 4))]}" keydown Control_L
    press "$guestDisplay" keydown "${keys[$(((round + 1) % 4))]}"
    sleep 0.7
    press "$hostDisplay" keyup "${keys[$((round % 4))]}" keyup Control_L
    press "$guestDisplay" keyup "${keys[$(((round + 1) % 4))]}" key Control_L
    if [ $((round % 4)) -eq 0 ]; then press "$guestDisplay" key Return; fi
    if [ $((SECONDS - start)) -gt 110 ]; then press "$hostDisplay" key space; fi
done
sleep 1
press "$hostDisplay" key Escape
press "$guestDisplay" key Escape
sleep 1
host=$(ls "$dir"/host/torvelun-soccer/replays/*.replay 2>/dev/null)
guest=$(ls "$dir"/guest/torvelun-soccer/replays/*.replay 2>/dev/null)
if [ -z "$host" ] || [ -z "$guest" ]; then
    echo "no replay on both sides after $((SECONDS - start)) s"
    cat "$dir"/*.log
    exit 1
fi
if ! cmp -s "$host" "$guest"; then
    echo "the two replays differ"
    "$sim" --replay "$host"
    "$sim" --replay "$guest"
    exit 1
fi
out=$("$sim" --replay "$host" --json)
echo "$out"
grep -q '"asRecorded":true' <<<"$out" || { echo "the replay plays otherwise than recorded"; exit 1; }
passes=$(sed -E 's/.*"passes":([0-9]+).*/\1/' <<<"$out")
[ "$passes" -gt 6000 ] || { echo "only $passes passes: no whole match"; exit 1; }
echo "a whole match online in $((SECONDS - start)) s; both replays equal"
