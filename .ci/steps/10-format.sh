#!/usr/bin/env bash
# Every C++ file is formatted as .clang-format says. The sources are found
# without git, which a machine that was handed a copy of the tree may lack.
set -euo pipefail
cd "$(dirname "$0")/../.."
find audio bench match net netws platform relay render resources shell tests tools web \
     -name '*.cpp' -o -name '*.h' | sort | xargs clang-format --dry-run -Werror
echo "formatting clean"
