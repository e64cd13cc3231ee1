#!/usr/bin/env bash
# Takes the README's screenshots from the running program: the end-to-end cashier run takes one
# of every step in a fresh X session; the ones the README shows are copied to docs/screenshots.
# Usage: tools/screenshots.sh BUILD_DIR [OUTPUT_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
out=${2:-$root/docs/screenshots}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/tests/support/xsession.sh" "$root/tests/e2e/cashier.sh" "$build/src/Kesto" "$build/server/payment-server" "$work"
mkdir -p "$out"
for name in signin devices records pay-amount pay-code pay-waiting receipt refund-folded refund-order setup shift-summary; do
    cp "$work/$name.png" "$out/"
done
echo "screenshots in $out"
