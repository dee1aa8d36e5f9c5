#!/usr/bin/env bash
# Two real games through a real soccer-relay on 127.0.0.1, each on an X server
# of its own, their lobbies worked with their keys (C, then J and the code the
# host's game printed). Then the faults of a match:
#  1. the guest's process is killed mid-match: the host says so (the time it
#     took is printed: CI's busy cores make it no measure), keeps the replay of the confirmed passes (it plays as recorded) and
#     runs on;
#  2. a new guest comes, and the relay is killed mid-match: both games say the
#     connection is lost, keep their replays and run on; once the relay runs
#     again on its port, C makes a new room.
# About 30 s. Skipped where Xvfb or xdotool is missing.
soccer=$1
sim=$2
relayBinary=$3
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || exit 77
dir=$(mktemp -d)
pids=()
trap 'kill -9 "${pids[@]}" 2>/dev/null; wait; rm -rf "$dir"' EXIT
# The shell's own line for each process killed on purpose says nothing here.
exec 2>/dev/null
fail() {
    echo "$1"
    tail -n 20 "$dir"/*.log
    exit 1
}

server() {
    exec 3>"$dir/$1.display"
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$dir/$1.display" ] && break; sleep 0.1; done
    echo ":$(cat "$dir/$1.display")"
}
declare -A display pid
display[host]=$(server host)
display[guest]=$(server guest)
display[second]=${display[guest]}

# The relay takes a free port the first time and the same one when it runs again.
port=0
relay() {
    local started
    started=$(grep -c "soccer-relay on" "$dir/relay.log" 2>/dev/null)
    "$relayBinary" --address 127.0.0.1 --port "$port" >>"$dir/relay.log" 2>&1 &
    relayPid=$!
    pids+=("$relayPid")
    waitFor "$dir/relay.log" "soccer-relay on" 5 "${started:-0}" || fail "soccer-relay did not start"
    port=$(sed -n 's/^soccer-relay on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$dir/relay.log" | tail -n 1)
}

# game NAME: the game in the lobby, with a replay folder of its own.
game() {
    mkdir -p "$dir/$1"
    DISPLAY=${display[$1]} XDG_DATA_HOME="$dir/$1" SDL_AUDIODRIVER=dummy \
        "$soccer" --window --online "ws://127.0.0.1:$port/play" >"$dir/$1.log" 2>&1 &
    pid[$1]=$!
    pids+=($!)
}
press() {
    local name=$1
    shift
    DISPLAY=${display[$name]} xdotool "$@" 2>/dev/null
}
# waitFor FILE TEXT SECONDS [COUNT]: true once TEXT is in FILE more than COUNT times.
waitFor() {
    for _ in $(seq $(($3 * 20))); do
        [ "$(grep -c "$2" "$1")" -gt "${4:-0}" ] && return 0
        sleep 0.05
    done
    return 1
}
replays() {
    find "$dir/$1/torvelun-soccer/replays" -name '*.replay' 2>/dev/null | wc -l
}
asRecorded() {
    local file
    # shellcheck disable=SC2012 # the newest: the names are the game's own
    file=$(ls -t "$dir/$1"/torvelun-soccer/replays/*.replay | head -n 1)
    out=$("$sim" --replay "$file" --json)
    grep -q '"asRecorded":true' <<<"$out" || fail "$1's replay plays otherwise than recorded: $out"
    passes=$(sed -E 's/.*"passes":([0-9]+).*/\1/' <<<"$out")
    [ "$passes" -gt 60 ] || fail "$1's replay holds only $passes passes"
    echo "$1's replay: $passes passes, played as recorded"
}
# meet GUEST: the host makes a room with C, the guest joins with J and its code.
meet() {
    local rooms joined
    rooms=$(grep -c "give this code" "$dir/host.log")
    joined=$(grep -c "joined as the guest" "$dir/relay.log")
    press host key c
    waitFor "$dir/host.log" "give this code" 5 "$rooms"
    code=$(grep "give this code" "$dir/host.log" | tail -n 1 | sed -E 's/.*room ([A-Z]+) .*/\1/')
    [ ${#code} -eq 5 ] || fail "no room code from the host"
    press "$1" key j
    for ((i = 0; i < 5; i++)); do press "$1" key "${code:$i:1}"; done
    press "$1" key Return
    waitFor "$dir/relay.log" "joined as the guest" 5 "$joined" || fail "$1 did not join room $code"
}

relay
game host
game guest
sleep 2
meet guest
sleep 4 # the match some 200 passes in

# 1. The guest's process dies.
start=$(date +%s%N)
kill -9 "${pid[guest]}"
wait "${pid[guest]}"
waitFor "$dir/host.log" "the other player lost the connection" 5 || fail "the host was not told"
told=$((($(date +%s%N) - start) / 1000000))
echo "the host was told the guest was lost in $told ms"
sleep 0.5
[ "$(replays host)" -eq 1 ] || fail "the host kept no replay"
asRecorded host
kill -0 "${pid[host]}" || fail "the host's game ended"

# 2. A new guest, and the relay dies mid-match.
game second
sleep 2
meet second
sleep 4
kill -9 "$relayPid"
wait "$relayPid"
for name in host second; do
    waitFor "$dir/$name.log" "the connection to the relay was lost" 5 || fail "$name was not told"
done
sleep 0.5
[ "$(replays host)" -eq 2 ] || fail "the host kept no second replay"
[ "$(replays second)" -eq 1 ] || fail "the second guest kept no replay"
asRecorded host
asRecorded second
for name in host second; do kill -0 "${pid[$name]}" || fail "$name's game ended"; done
rooms=$(grep -c "created by" "$dir/relay.log")
relay
press host key c
waitFor "$dir/relay.log" "created by" 5 "$rooms" || fail "no new room once the relay ran again"
for name in host second; do
    press "$name" key Escape
    press "$name" key Escape
done
for name in host second; do
    for _ in $(seq 50); do kill -0 "${pid[$name]}" 2>/dev/null || break; sleep 0.1; done
    wait "${pid[$name]}" || fail "$name's game exited with status $?"
done
echo "both faults met: the games told, their replays kept, a new room made"
