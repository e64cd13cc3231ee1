#!/usr/bin/env bash
# Builds the libFuzzer targets of the client and the service with clang in build-fuzz, then runs
# each one, after replaying its committed seeds, for SECONDS (default 600), two at a time on two
# cores. Further arguments go to ctest:
#   tests/fuzz/run.sh 3600 -R fuzz_records
# A crashing input lands in build-fuzz/.../fuzz_NAME.crashes; the inputs a run found new are kept
# in fuzz_NAME.corpus beside it and replayed by the next run.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-600}
[ $# -gt 0 ] && shift
build=$root/build-fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTO_FUZZ=ON \
    -DKESTO_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"
