#!/usr/bin/env bash
# The update-mode device routines under Wine: names and paths, one exchange against the simulated
# converter through its update-mode face, no device, a silent loader, leaving update mode, driver
# installation; then the time per exchange for the log.
#   suite_device.sh DEVICE_TEST_EXE BRG40FUP_INF
set -uo pipefail
test_exe=$1
inf=$2
# shellcheck source=../harness.sh
source "$(dirname "$0")/../harness.sh"

e2e_begin wine_device
e2e_prefix
e2e_sim_start
e2e_update_face_start
dir=$(e2e_stage device "$test_exe" "$inf")
exe=$dir/$(basename "$test_exe")

# One case per run of the test program; its own checks are listed in NAME.out / NAME.err.
run_case() {  # run_case NAME
    e2e_wine "$1" --timeout 90 "$exe" "$1"
    local status=$?
    tr -d '\r' <"$E2E_WORK/$1.out" | tail -n 1 | sed "s/^/  $1: /"
    sed "s/^/  $1: /" "$E2E_WORK/$1.err"
    return $status
}
e2e_check "pipe names, .inf path and hardware-ID list (248/249-character paths, no overrun)" run_case names
e2e_check "one exchange: three lines per transfer, the flash bytes in the reply" run_case exchange
e2e_check "two interfaces, the first does not open: it is reported, the second is used" run_case two
e2e_check "interface paths of 248 and 249 characters: opened / long-filename line" run_case long
e2e_check "no update-mode device: discovery failure line, -1, buffer untouched" run_case absent
e2e_check "silent loader: the read gives up after the wait, the reply stays cleared" run_case silent
e2e_check "short reply: the rest of the buffer keeps the caller's bytes" run_case short
e2e_check "close byte and unplugging: the interface goes" run_case leave
e2e_check "driver installation: brg40fup.inf installed, no temporary ROOT node" run_case install

# Time per exchange (write and read, two discoveries each); a figure for the log, not a check.
e2e_wine bench --timeout 120 "$exe" bench 300
tr -d '\r' <"$E2E_WORK/bench.out" | grep '^bench:'
e2e_end
