#!/usr/bin/env bash
# Every libFuzzer target, built together in the sanitizer build (clang,
# AddressSanitizer and UndefinedBehaviorSanitizer, .ci/asan-build.sh) and run
# for its budget from its seeds, two at a time on the two cores. A crash, leak,
# hang or sanitizer report fails the step and names the input that makes it.
# FUZZ_SECONDS=N runs every target for N seconds instead of its budget.
set -euo pipefail
cd "$(dirname "$0")/../.."

# target         seconds  seeds in the repository (- for none) | libFuzzer options
table="
xm_fuzz               40  tests/fuzz/corpus/* resources/*.xm tests/fuzz/xm-broken/*.*xm
                          | -timeout=10 -rss_limit_mb=2048
fuzz_replay           25  tests/traces/*.replay               | -max_len=48000 -timeout=20 -rss_limit_mb=2048
fuzz_bitmap           15  resources/*.bmp                     |
fuzz_score            15  tools/musicgen/*.score              | -max_len=16384
fuzz_raster           15  -                                   | -max_len=4096
fuzz-sim-args         10  tools/sim/fuzz_corpus/*             | -max_len=128
fuzz_snapshot_args    10  tests/tools/snapshot/fuzz_corpus/*  | -max_len=512
fuzz_launch_args      10  tests/shell/fuzz_corpus_launch/*    | -max_len=512
fuzz_settings         10  tests/shell/fuzz_corpus_settings/*  | -max_len=2048
fuzz_net              10  tests/net/fuzz_corpus/*             | -max_len=2048
fuzz_relay_link       10  tests/net/fuzz_corpus/*             | -max_len=2048
fuzz_relay            10  tests/relay/fuzz_corpus/*           | -max_len=4096
"
# A row may go on over indented lines; join them first.
rows=$(sed -z 's/\n  \+/ /g' <<<"$table" | grep -v '^$')

build=build-asan
targets=$(awk '{print $1}' <<<"$rows")
# shellcheck disable=SC2086
bash .ci/asan-build.sh $targets

# fuzz TARGET SECONDS SEEDS... -- OPTIONS...: copies the seeds into the
# target's corpus and runs it; its log and any reproducer stay in build-asan/fuzz/.
fuzz() {
    local target=$1 seconds=${FUZZ_SECONDS:-$2} dir="$build/fuzz/$1"
    shift 2
    rm -rf "$dir/found"
    mkdir -p "$dir/corpus" "$dir/found"
    exec >"$dir/log" 2>&1
    while [ "$1" != -- ]; do
        [ "$1" = - ] || cp "$1" "$dir/corpus/" || { echo "seeds missing: $1"; return 1; }
        shift
    done
    shift
    "$(program "$target")" -max_total_time="$seconds" -rss_limit_mb=1024 -print_final_stats=1 \
        -artifact_prefix="$dir/found/" "$@" "$dir/corpus"
}

# program TARGET: where the build put the target's program.
program() {
    find "$build" -type f -name "$1" -perm -u+x | head -n 1
}

# report TARGET STATUS: the end of the target's log, and on a failure the
# reproducer it wrote.
report() {
    local dir="$build/fuzz/$1"
    echo "-- $1"
    tail -n 12 "$dir/log"
    [ "$2" -eq 0 ] && return 0
    echo "$1 FAILED (status $2); reproducer: $(ls "$dir"/found/* 2>/dev/null || echo none written)"
    echo "run it again with: $(program "$1") REPRODUCER"
    return 1
}

declare -A running=()
status=0
# wait_one: waits for one running target and reports it.
wait_one() {
    local pid code=0
    wait -n -p pid "${!running[@]}" || code=$?
    report "${running[$pid]}" "$code" || status=1
    unset "running[$pid]"
}
while read -r target seconds rest; do
    seeds=${rest%%|*}
    options=${rest#*|}
    # shellcheck disable=SC2086
    fuzz "$target" "$seconds" $seeds -- $options &
    running[$!]=$target
    [ ${#running[@]} -lt 2 ] || wait_one
done <<<"$rows"
while [ ${#running[@]} -gt 0 ]; do wait_one; done
exit $status
