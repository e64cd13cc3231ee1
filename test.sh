#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
set -euo pipefail
KESTO_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$KESTO_ROOT/scripts/setup.sh"

kesto_install
kesto_build "$KESTO_ROOT/build-test"
cd "$KESTO_ROOT/build-test"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 "$@"

# The fuzz targets, a few seconds each after their seeds, in a clang build of their own.
if [ "${build:-$KESTO_ROOT/build-test}" = "$KESTO_ROOT/build-test" ]; then
    "$KESTO_ROOT/tests/fuzz/run.sh" 5
fi
