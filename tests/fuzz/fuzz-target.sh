#!/usr/bin/env bash
# fuzz-target.sh BINARY SEEDS SECONDS [DICTIONARY]: replays the seeds, then fuzzes for SECONDS, from a
# copy in a temporary folder, where the client's targets keep their settings file. What a run learns
# is kept in BINARY.corpus, a crashing input in BINARY.crashes.
set -euo pipefail
binary=$1
# Inputs grow slowly up to 64 KiB: a long run also tries replies large enough to freeze a window.
options=(-max_total_time="$3" -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
[ $# -ge 4 ] && options+=(-dict="$4")
mkdir -p "$binary.corpus" "$binary.crashes"
# In memory where there is room, as the settings file is flushed to disk; fontconfig's caches, which
# it keeps to the end, are not leaks of ours.
home=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$home"' EXIT
cp "$binary" "$home/"
TMPDIR=$home LSAN_OPTIONS=suppressions=$(dirname "$0")/lsan.supp:print_suppressions=0 QT_QPA_PLATFORM=offscreen \
    "$home/$(basename "$binary")" "${options[@]}" -artifact_prefix="$binary.crashes/" "$binary.corpus" "$2"
