#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
#   ./test.sh [CTEST ARGS]             the normal build in build-test
#   ./test.sh --sanitize [CTEST ARGS]  the same tests in an AddressSanitizer + UBSan build
set -euo pipefail
KESTO_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$KESTO_ROOT/scripts/setup.sh"

build="$KESTO_ROOT/build-test"
options=()
if [ "${1:-}" = "--sanitize" ]; then
    shift
    build="$KESTO_ROOT/build-sanitize"
    flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    options=(-DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags"
        -DKESTO_SANITIZED=ON)
    # Leaks are not looked for: the toolkit's and fontconfig's caches live until exit by design.
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

kesto_install
kesto_build "$build" "${options[@]}"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 "$@"

# The fuzz targets, a few seconds each after their seeds, in a clang build of their own.
if [ "$build" = "$KESTO_ROOT/build-test" ]; then
    "$KESTO_ROOT/tests/fuzz/run.sh" 5
fi
