#!/usr/bin/env bash
# The Windows build under Wine on a virtual X display (.ci/steps/65-windows.sh):
# its unit tests; the ten golden traces through soccer-sim.exe, each against
# the state hash of the Linux soccer-sim, and a hundred more matches; the
# modules' sound against its hashes; soccer-snapshot.exe's frames against the
# goldens; the real soccer.exe (boot, ESC to the title, F1 to a match,
# screenshots against the Linux frames, silent without a sound device); the
# installer and uninstaller with /S, and the installed game starting; an
# online match between soccer.exe and the Linux game.
# Usage: wine_test.sh WINDOWS_BUILD LINUX_BUILD
set -uo pipefail
win=$(realpath "$1")
linux=$(realpath "$2")
cd "$(dirname "$0")/../.."
work=$win/wine-test
rm -rf "$work"
mkdir -p "$work"
# No Mono or Gecko to install, and no sound drivers: the game has no device.
export WINEPREFIX=$win/wine-prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winealsa.drv,winepulse.drv="

Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
trap 'wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null' EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

start=$SECONDS
wineboot -i >/dev/null 2>&1
wineserver -p >/dev/null 2>&1 # kept running for every program after
echo "Wine's first start: $((SECONDS - start)) s"

passed=0
failed=0
check() {
    local name=$1
    shift
    if "$@"; then
        echo "ok   $name"
        passed=$((passed + 1))
    else
        echo "FAIL $name"
        failed=$((failed + 1))
    fi
}

unit_tests() {
    local status=0
    for exe in "$win"/tests/*/*_tests.exe; do
        wine "$exe" --gtest_brief=1 >"$work/$(basename "$exe").log" 2>&1 || {
            status=1
            tail -n 20 "$work/$(basename "$exe").log"
        }
        grep -h 'PASSED\|FAILED' "$work/$(basename "$exe").log" | sed "s|^|    $(basename "$exe"): |"
    done
    return $status
}

# Each replay through both soccer-sim builds: the same state hash, as recorded.
state_hash() { grep -o '"stateHash":"[0-9a-f]*","asRecorded":true' || echo none; }
golden_traces() {
    local status=0 replay ours theirs
    for replay in tests/traces/*.replay; do
        ours=$(wine "$win/soccer-sim.exe" --replay "$replay" --json 2>&1 | state_hash)
        theirs=$("$linux/soccer-sim" --replay "$replay" --json 2>&1 | state_hash)
        [ "$ours" = "$theirs" ] && [ "$ours" != none ] || {
            echo "    $replay: $ours under Wine, $theirs on Linux"
            status=1
        }
    done
    return $status
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# A hundred more matches, headless, with the same figures on both; and how
# long a pass takes under Wine beside Linux.
same_matches() {
    local start wine_ms linux_ms passes
    start=$(now_ms)
    wine "$win/soccer-sim.exe" --matches 100 --seed 1 --json 2>&1 | tr -d '\r' >"$work/matches-wine.json"
    wine_ms=$(($(now_ms) - start))
    start=$(now_ms)
    "$linux/soccer-sim" --matches 100 --seed 1 --json >"$work/matches-linux.json" 2>&1
    linux_ms=$(($(now_ms) - start))
    passes=$(grep -o '"frames":[0-9]*' "$work/matches-linux.json" | awk -F: '{ n += $2 } END { print n }')
    echo "    100 matches, $passes passes: $wine_ms ms under Wine (its start included), $linux_ms ms on Linux"
    cmp -s "$work/matches-wine.json" "$work/matches-linux.json" || {
        diff "$work/matches-wine.json" "$work/matches-linux.json" | head -n 4
        return 1
    }
}

# The committed hashes of the modules' sound, rendered by soccer-xmrender.exe.
module_sound() {
    printf '#!/bin/sh\nexec wine "%s" "$@"\n' "$win/soccer-xmrender.exe" >"$work/xmrender"
    chmod +x "$work/xmrender"
    bash tests/traces/sound_test.sh "$work/xmrender" tests/traces/sound.sha256
}

snapshot_frames() {
    local args status=0 shot
    local start wine_ms linux_ms
    args=$(grep -v '^#' tools/snapshot/readme_screenshots.args | tr '\n' ' ')
    mkdir -p "$work/linux"
    start=$(now_ms)
    # shellcheck disable=SC2086
    (cd "$work" && wine "$win/soccer-snapshot.exe" $args >/dev/null 2>&1) || return 1
    wine_ms=$(($(now_ms) - start))
    start=$(now_ms)
    # shellcheck disable=SC2086
    (cd "$work/linux" && "$linux/soccer-snapshot" $args >/dev/null 2>&1) || return 1
    linux_ms=$(($(now_ms) - start))
    echo "    450 drawn passes: $wine_ms ms under Wine (its start included), $linux_ms ms on Linux"
    for shot in title.png match_in_play.png; do
        python3 tests/windows/frames.py same "$work/$shot" "tests/shell/golden/$shot" || status=1
    done
    return $status
}

# Waits for the game's window (class "TORVELUN SOCCER", title "SOCCER").
game_window() {
    for _ in $(seq 200); do
        xdotool search --name '^SOCCER$' 2>/dev/null | head -n 1 | grep . && return 0
        sleep 0.1
    done
    return 1
}

screen_like() {
    sleep "$3"
    xwd -root -silent >"$work/$1.xwd"
    python3 tests/windows/frames.py screen "$work/$1.xwd" "tests/shell/golden/$2" 0.8
}

# Full screen on a 640 x 480 display: the frame lands pixel for pixel.
real_game() {
    local exe=$1 game status=0
    wine "$exe" >"$work/game.log" 2>&1 &
    game=$!
    game_window >/dev/null || { kill $game; return 1; }
    xdotool key Escape
    screen_like title title.png 1.5 || status=1
    xdotool key F1
    screen_like match message_ready.png 1.5 || status=1
    xdotool key Escape && sleep 0.5 && xdotool key Escape # the title, then the end
    for _ in $(seq 100); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
    kill -0 $game 2>/dev/null && { kill $game; echo "    the game did not end on ESC"; status=1; }
    wait $game || { echo "    status $?: $(head -c 300 "$work/game.log")"; status=1; }
    return $status
}

installer() {
    local setup programs
    setup=$(ls "$win"/packages/torvelun-soccer-*-setup.exe)
    wine "$setup" /S || return 1
    # (the folder is there once something is installed in it)
    programs=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Local/Programs)/"Torvelun Soccer"
    [ -f "$programs/soccer.exe" ] && [ -f "$programs/controls.txt" ] || { echo "    nothing installed"; return 1; }
    ls "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs/"Torvelun Soccer"/*.lnk >/dev/null || return 1
    real_game "$programs/soccer.exe" || return 1
    wine "$programs/uninstall.exe" /S
    for _ in $(seq 100); do [ -e "$programs/soccer.exe" ] || break; sleep 0.2; done
    [ ! -e "$programs/soccer.exe" ] || { echo "    still installed after the uninstaller"; return 1; }
}

# Online play across systems: soccer.exe hosts on 127.0.0.1, the Linux game
# joins from an X server of its own; both play with keys for a few seconds,
# then ESC on the Linux side ends the match for both. Both keep the same
# replay, byte for byte, and it plays to the state it recorded.
online_with_linux() {
    local port=$((20000 + RANDOM % 20000)) host guest xguest status=0 mine theirs out
    local data=$work/online-linux keys=(Up Left Down Right)
    rm -rf "$data" "$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Local)/Torvelun Soccer/replays"
    Xvfb -displayfd 4 -screen 0 640x480x24 -nolisten tcp 4>"$work/guest-display" 2>/dev/null &
    xguest=$!
    for _ in $(seq 50); do [ -s "$work/guest-display" ] && break; sleep 0.1; done
    local other=:$(cat "$work/guest-display")
    wine "$win/soccer.exe" --window --host "$port" >"$work/host.log" 2>&1 &
    host=$!
    game_window >/dev/null && sleep 2
    DISPLAY=$other XDG_DATA_HOME=$data SDL_AUDIODRIVER=dummy "$linux/soccer" --window \
        --join "127.0.0.1:$port" >"$work/guest.log" 2>&1 &
    guest=$!
    sleep 4
    for r in $(seq 12); do
        xdotool keydown "${keys[$((r % 4))]}" keydown Control_L
        DISPLAY=$other xdotool keydown "${keys[$(((r + 1) % 4))]}"
        sleep 0.5
        xdotool keyup "${keys[$((r % 4))]}" keyup Control_L
        DISPLAY=$other xdotool keyup "${keys[$(((r + 1) % 4))]}" key Control_L
        [ $((r % 4)) -eq 0 ] && DISPLAY=$other xdotool key Return
    done
    DISPLAY=$other xdotool key Escape
    sleep 3
    xdotool key Escape
    DISPLAY=$other xdotool key Escape
    sleep 1
    kill $host $guest $xguest 2>/dev/null
    mine=$(ls "$WINEPREFIX"/drive_c/users/*/AppData/Local/"Torvelun Soccer"/replays/*.replay 2>/dev/null)
    theirs=$(ls "$data"/torvelun-soccer/replays/*.replay 2>/dev/null)
    [ -n "$mine" ] && [ -n "$theirs" ] || { echo "    no replay on both sides"; cat "$work"/host.log "$work"/guest.log; return 1; }
    cmp -s "$mine" "$theirs" || { echo "    the two replays differ"; status=1; }
    out=$("$linux/soccer-sim" --replay "$theirs" --json)
    grep -q '"asRecorded":true' <<<"$out" || { echo "    it plays otherwise than recorded"; status=1; }
    echo "    $(sed -E 's/.*"passes":([0-9]+).*/\1/' <<<"$out") passes online, Windows host, Linux guest"
    return $status
}

check "unit tests" unit_tests
check "golden traces through soccer-sim.exe" golden_traces
check "100 matches as on Linux" same_matches
check "the modules' sound through soccer-xmrender.exe" module_sound
check "soccer-snapshot.exe frames" snapshot_frames
check "soccer.exe: boot, ESC, title, F1, match" real_game "$win/soccer.exe"
check "installer, installed game, uninstaller" installer
check "online: soccer.exe hosts, the Linux game joins" online_with_linux
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
