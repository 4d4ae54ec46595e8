#!/usr/bin/env bash
# Runs progress-bar-paint.exe under Wine on a private Xvfb display (24-bit colour) with a fresh
# prefix of its own (one left by an earlier, perhaps interrupted, run is never reused).
# Usage: run_paint_check.sh EXE WORK_DIR
set -uo pipefail
exe=$1 work=$2
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" WINEARCH=win64

# Xvfb picks a free display itself and writes its number to fd 3.
rm -f "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
display=$(head -n1 "$work/display" 2>/dev/null)
[[ -n $display ]] || { echo "Xvfb did not start" >&2; kill "$xvfb" 2>/dev/null; exit 2; }
export DISPLAY=:$display
cleanup() {
    wineserver -k 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
}
trap cleanup EXIT

rm -rf "$WINEPREFIX"
wineboot -i >"$work/wineboot.log" 2>&1
# Output into files, never a pipe: Wine's background processes would keep a pipe open.
wine "$exe" >"$work/paint.out" 2>"$work/paint.err"
status=$?
cat "$work/paint.out"
exit $status
