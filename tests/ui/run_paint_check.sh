#!/usr/bin/env bash
# Runs progress-bar-paint.exe under Wine on a private Xvfb display (24-bit colour) with a prefix
# of its own, made once per build folder. Usage: run_paint_check.sh EXE WORK_DIR
set -uo pipefail
exe=$1 work=$2
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" WINEARCH=win64

display=""
for n in $(seq 140 199); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    display=$n
    break
done
[[ -n $display ]] || { echo "no free X display" >&2; exit 2; }
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY=:$display
cleanup() {
    wineserver -k 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
}
trap cleanup EXIT
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done

if [[ ! -f $WINEPREFIX/system.reg ]]; then
    wineboot -i >"$work/wineboot.log" 2>&1
fi
# Output into files, never a pipe: Wine's background processes would keep a pipe open.
wine "$exe" >"$work/paint.out" 2>"$work/paint.err"
status=$?
cat "$work/paint.out"
exit $status
