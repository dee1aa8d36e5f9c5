#!/usr/bin/env bash
# The first 60 s of each of the game's modules, rendered by soccer-xmrender,
# must hash as committed (sound.sha256). SOCCER_UPDATE_TRACES=1 writes the
# hashes anew.
set -euo pipefail
xmrender=$1 expected=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
for id in 148 150 152; do
    "$xmrender" --resource "$id" --seconds 60 --out "$dir/module-$id.wav"
done
(cd "$dir" && sha256sum module-*.wav) >"$dir/sums"
if [ -n "${SOCCER_UPDATE_TRACES:-}" ]; then
    cp "$dir/sums" "$expected"
    exit 0
fi
if ! diff -u "$expected" "$dir/sums"; then
    echo "the rendered sound of the modules above differs from the committed hashes"
    exit 1
fi
