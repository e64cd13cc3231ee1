#!/usr/bin/env bash
# Runs the Windows test program under Wine in this X session and presses its hotkeys. The Wine
# prefix is made once, outside the build folders, and kept for later runs.
#   wine.sh PROGRAM.exe
set -u
export WINEPREFIX=${KESTO_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/kesto-wine}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '/usr/lib/wine/wineserver -k' EXIT
[ -f "$WINEPREFIX/system.reg" ] || { /usr/lib/wine/wine64 wineboot -i && /usr/lib/wine/wineserver -w; } >/dev/null 2>&1
/usr/lib/wine/wine64 "$1" &
for _ in $(seq 300); do
    window=$(xdotool search --name kesto-wine-hotkeys | head -1)
    [ -n "$window" ] || ! kill -0 $! 2>/dev/null && break
    sleep 0.1
done
[ -n "$window" ] && xdotool windowfocus --sync "$window" sleep 0.5 key shift+F9 sleep 0.5 key ctrl+F9 sleep 0.5 key Escape
wait $!
