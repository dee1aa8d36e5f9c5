#!/usr/bin/env bash
# Includes point down the layers only: platform and resources at the bottom,
# match and net on nothing, audio on platform and resources, render on platform,
# resources and match, the shell on all of them; tools never on tests or
# benchmarks. Fails on the first folder that includes one it may not.
set -euo pipefail
cd "$(dirname "$0")/../.."
declare -A allowed=(
    [platform]=""
    [resources]=""
    [match]=""
    [net]=""
    [audio]="platform resources"
    [render]="platform resources match"
    [shell]="platform resources match audio render net netws"
    [tools]="platform resources match audio render net netws shell"
    [relay]=""
)
status=0
for folder in "${!allowed[@]}"; do
    while IFS= read -r line; do
        file=${line%%:*}
        target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$line")
        [ "$target" = "$folder" ] && continue
        if ! grep -qw "$target" <<<"${allowed[$folder]}"; then
            echo "$file includes $target/, which $folder/ may not use: ${line#*:}"
            status=1
        fi
    done < <(grep -rnE '^#include "[a-z_]+/' --include='*.cpp' --include='*.h' "$folder" || true)
done
[ $status -eq 0 ] && echo "includes point down the layers"
exit $status
