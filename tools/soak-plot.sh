#!/usr/bin/env bash
# Refreshes the README's plot of resident memory over the soak (docs/soak-rss.png) from a
# benchmark run of the soak alone; the other figures are left to ./bench.sh.
# Usage: tools/soak-plot.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/bench.sh" "$work/results.json" --only soak_rss_growth_mb
mkdir -p "$root/docs"
cp "$work/soak-rss.png" "$root/docs/soak-rss.png"
echo "plot in $root/docs/soak-rss.png"
