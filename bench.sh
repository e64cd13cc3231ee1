#!/usr/bin/env bash
# Installs what is missing, builds the benchmark (Release with debug info, in build-bench/) and
# runs it in an X session of its own with a notification area (Xvfb and trayer), so that the
# client starts into the tray as at a shop. Prints a table and writes the figures as JSON to
# OUT.json (default .bench/results.json), with soak-rss.png beside it; nothing in the tree changes
# (tools/soak-plot.sh refreshes the README's plot). The figures are measurements, never a pass or
# fail.
# Usage: ./bench.sh [OUT.json] [kesto-bench options, e.g. --only sale_ratio,receipt_ms]
set -euo pipefail
KESTO_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$KESTO_ROOT/scripts/setup.sh"

out=${1:-$KESTO_ROOT/.bench/results.json}
[ $# -gt 0 ] && shift
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

kesto_install
kesto_build "$KESTO_ROOT/build-bench" -DKESTO_TESTS=OFF -DKESTO_BENCH=ON

display=""
for n in $(seq 200 299); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null || true' EXIT
Xvfb "$display" -screen 0 1280x800x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.05
done
export DISPLAY=$display QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
trayer --edge bottom --widthtype request >/dev/null 2>&1 &
pids+=($!)

"$KESTO_ROOT/build-bench/bench/kesto-bench" --out "$out" "$@"
