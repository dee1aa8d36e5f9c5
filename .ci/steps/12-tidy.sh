#!/usr/bin/env bash
# The game's own sources are clang-tidy clean (.clang-tidy), checked over the
# compile commands of the main build that .ci/run made in build/.
#
# A whole run takes a quarter of an hour of CPU, so CI checks what changed
# since .ci/tidy-base, the last commit found clean as a whole: each changed
# source, and each source that includes a changed header. TIDY_ALL=1 (or a
# tree without that commit's history) checks everything; after a clean whole
# run, its commit may become the new base.
set -euo pipefail
cd "$(dirname "$0")/../.."
[ -f build/compile_commands.json ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
folders="platform|resources|match|audio|render|net|netws|shell|relay|tools"
base=$(cat .ci/tidy-base 2>/dev/null || true)

# changed_sources: the sources to check, one a line, since the base.
changed_sources() {
    local changed header
    changed=$(git diff --name-only "$base" -- | grep -E "^($folders)/" || true)
    grep -E '\.cpp$' <<<"$changed" || true
    for header in $(grep -E '\.h$' <<<"$changed"); do
        grep -rlF "#include \"$header\"" --include='*.cpp' platform resources match audio render \
            net netws shell relay tools || true
    done
}

pattern="$PWD/($folders)/.*\.cpp$"
if [ -z "${TIDY_ALL:-}" ] && [ -n "$base" ] && git cat-file -e "$base^{commit}" 2>/dev/null; then
    files=$(changed_sources | sort -u | grep -v '^$' || true)
    # Only what the main build compiles: platform/win32 and platform/web are
    # other builds' sources.
    files=$(for f in $files; do grep -qF "\"file\": \"$PWD/$f\"" build/compile_commands.json &&
                echo "$f"; done || true)
    if [ -z "$files" ]; then
        echo "no source changed since $base: clang-tidy has nothing to check"
        exit 0
    fi
    echo "checking $(wc -w <<<"$files") sources changed since $base (TIDY_ALL=1 checks all)"
    pattern="$PWD/($(tr '\n' '|' <<<"$files" | sed 's/|$//; s/\./\\./g'))$"
fi
out=$(run-clang-tidy -p build -quiet -j2 "$pattern" 2>&1 || true)
if grep -E '(warning|error): ' <<<"$out"; then
    echo "clang-tidy found the above"
    exit 1
fi
echo "clang-tidy clean"
