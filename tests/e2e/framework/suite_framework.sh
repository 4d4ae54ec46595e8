#!/usr/bin/env bash
# Runs the framework probe under Wine (on Xvfb) and reports each of its checks.
#   suite_framework.sh FRAMEWORK_PROBE_EXE
set -uo pipefail
probe_exe=$1
# shellcheck source=../harness.sh
source "$(dirname "$0")/../harness.sh"

e2e_begin wine_framework
e2e_xvfb
e2e_prefix
e2e_wine probe --timeout 120 "$probe_exe"
status=$?
tr -d '\r' <"$E2E_WORK/probe.out" | grep -E '^(PASS|FAIL) ' | while read -r verdict what; do
    echo "$verdict  framework: $what"
done
passes=$(tr -d '\r' <"$E2E_WORK/probe.out" | grep -c '^PASS ')
e2e_check "framework probe: all its checks passed (status $status)" test "$status" -eq 0 -a "$passes" -ge 20
e2e_end
