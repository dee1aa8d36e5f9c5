#!/usr/bin/env bash
# No source file of the game is over 600 lines (functions over 80 lines are
# clang-tidy's to find, 12-tidy.sh). Fails naming every file that is.
set -euo pipefail
cd "$(dirname "$0")/../.."
limit=600
long=$(find platform resources match audio render shell relay tools -name '*.cpp' -o -name '*.h' |
       sort | xargs wc -l | awk -v limit=$limit '$2 != "total" && $1 > limit')
if [ -n "$long" ]; then
    echo "$long"
    echo "the files above are over $limit lines: split them by what they do"
    exit 1
fi
echo "every source file of the game is $limit lines or shorter"
