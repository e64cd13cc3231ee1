#!/usr/bin/env bash
# Installs what is missing, builds, and starts the cashier client.
set -euo pipefail
KESTO_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$KESTO_ROOT/scripts/setup.sh"

kesto_install
kesto_build "$KESTO_ROOT/build-run" -DKESTO_TESTS=OFF
exec "$KESTO_ROOT/build-run/src/Kesto" "$@"
