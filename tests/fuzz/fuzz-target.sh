#!/usr/bin/env bash
# fuzz-target.sh BINARY SEEDS SECONDS [DICTIONARY]: replays the committed seeds, then fuzzes for
# SECONDS. The target runs from a copy in a temporary folder, so that the settings file the
# client's targets keep beside the program exists only there. What the run learns is kept in
# BINARY.corpus beside the binary, a crashing input in BINARY.crashes.
set -euo pipefail
binary=$1
seeds=$2
seconds=$3
# Inputs grow slowly up to 64 KiB: a long run also tries replies large enough to freeze a window.
options=(-max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
[ $# -ge 4 ] && options+=(-dict="$4")
corpus=$binary.corpus
crashes=$binary.crashes
mkdir -p "$corpus" "$crashes"
# In memory where there is room, since the settings file is written with a flush to disk.
home=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$home"' EXIT
cp "$binary" "$home/"
export TMPDIR=$home
# Fontconfig keeps its caches to the end; nothing of ours.
export LSAN_OPTIONS=suppressions=$(dirname "$0")/lsan.supp:print_suppressions=0
QT_QPA_PLATFORM=offscreen "$home/$(basename "$binary")" "${options[@]}" -artifact_prefix="$crashes/" \
    "$corpus" "$seeds"
