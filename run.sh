#!/usr/bin/env bash
# Installs what is missing, builds, starts the local payment service in the background and
# then the cashier client; the service stops when the client quits. The service's database
# stays in .run/ so that a second run finds the same orders.
set -euo pipefail
KESTO_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$KESTO_ROOT/scripts/setup.sh"

kesto_install
kesto_build "$KESTO_ROOT/build-run" -DKESTO_TESTS=OFF

mkdir -p "$KESTO_ROOT/.run"
"$KESTO_ROOT/build-run/server/payment-server" --db "$KESTO_ROOT/.run/payment.db" >"$KESTO_ROOT/.run/server.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    grep -q "^listening on" "$KESTO_ROOT/.run/server.log" && break
    kill -0 $server 2>/dev/null || { cat "$KESTO_ROOT/.run/server.log" >&2; exit 1; }
    sleep 0.1
done
echo "Payment service: $(head -n 1 "$KESTO_ROOT/.run/server.log") (demo / demo123)"

"$KESTO_ROOT/build-run/src/Kesto" "$@"
