#!/usr/bin/env bash
# Records the replays of the golden traces, from the repository root with the
# game built in build/. Only a change of the replay format or of the scripted
# players calls for this; a change of the rules calls only for new
# expectations: SOCCER_UPDATE_TRACES=1 build/tests/traces/trace_tests
set -euo pipefail
sim=${SIM:-build/soccer-sim}
snapshot=${SNAPSHOT:-build/soccer-snapshot}
t=tests/traces
record() { name=$1; shift; "$sim" --record "$t/$name.replay" --json "$@" >/dev/null; }
record computer-20 --strength 20 --ms 16 --seed 5
record computer-40-wild --strength 40 --ms-range 0:1000 --seed 18
record computer-60-display --strength 60 --ms-range 16:17 --seed 11 --duration 120
record computer-80-stalls --strength 80 --ms 20 --stall 400:1500 --seed 5
record computer-100 --strength 100 --ms-range 5:40 --seed 28
record two-players --versus scripted --ms 25 --seed 2
record two-players-wild --versus scripted --ms-range 0:200 --seed 6 --duration 150
record random-keys --random-keys --versus scripted --ms-range 1:50 --seed 1
record random-keys-computer --random-keys --ms-range 1:50 --seed 24
# The whole flow through the game's own passes, drawn: the boot skipped,
# options on the title, a match against the computer with option keys during
# play, to the final whistle and SPACE back to the title.
keys=(--key 1:down:ESC --key 2:up:ESC --key 20:down:F3 --key 21:up:F3 --key 22:down:F9
      --key 23:up:F9 --key 24:down:F6 --key 25:up:F6 --key 30:down:F1 --key 31:up:F1)
# UP walks, CTRL kicks (a goalkeeper of ours who holds the ball stops the
# clock), SPACE starts kick-offs and closes the boxes.
for p in $(seq 60 45 6000); do
    keys+=(--key "$p:down:UP" --key "$((p + 8)):up:UP" --key "$((p + 20)):down:SPACE"
           --key "$((p + 21)):up:SPACE" --key "$((p + 30)):down:CTRL" --key "$((p + 36)):up:CTRL")
done
keys+=(--key 700:down:F3 --key 702:up:F3 --key 1500:down:F7 --key 1502:up:F7)
"$snapshot" --ms 50 --frames 6000 "${keys[@]}" --record "$t/flow.replay"
