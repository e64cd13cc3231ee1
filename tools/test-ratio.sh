#!/usr/bin/env bash
# Lines of test against lines of code, over the tracked files.
#   tests: every tracked file whose only purpose is testing (tests/, server/tests/), fuzz targets
#          and scripts included, without seed corpora, dictionaries and golden data files
#   code:  the .cpp and .h files of the program (src/) and the service (server/src/)
#   tools/test-ratio.sh [--files]   --files also lists each test file with its lines
set -euo pipefail
cd "$(dirname "$0")/.."

test_files() {
    git ls-files tests server/tests | grep -Ev '(^|/)corpus/|\.dict$|\.golden\.[a-z]+$'
}
code_files() {
    git ls-files src server/src | grep -E '\.(cpp|h)$'
}
lines() { xargs cat | wc -l; }

[ "${1:-}" = "--files" ] && test_files | xargs wc -l | sort -n
tests=$(test_files | lines)
code=$(code_files | lines)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d  code %d  ratio %.2f\n", t, c, t / c }'
