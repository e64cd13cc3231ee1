#!/usr/bin/env bash
# tests/fuzz/run.sh [SECONDS [ctest arguments]]: builds the libFuzzer targets with clang in build-fuzz
# and runs each after its seeds for SECONDS (default 600); crashes land in build-fuzz/.../NAME.crashes,
# new inputs in NAME.corpus, which the next run replays.
set -euo pipefail
build=$(cd "$(dirname "$0")/../.." && pwd)/build-fuzz
seconds=${1:-600}
[ $# -gt 0 ] && shift
CC=clang CXX=clang++ cmake -S "$build/.." -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTO_FUZZ=ON \
    -DKESTO_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build "$build" -j "$(nproc)"
cd "$build" && ctest --output-on-failure -j "$(nproc)" "$@"
