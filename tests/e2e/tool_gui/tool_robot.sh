# Sourced by the tool suites after harness.sh: one run of the GUI robot against the tool staged in
# $APP, for the language named by $TAG.

# robot NAME STEP...: one robot run; a PASS/FAIL check for it, and the robot's last lines on failure.
robot() {
    local name=$1
    shift
    e2e_wine "$name" --timeout 300 "$APP/brg40robot.exe" --exe "$(e2e_winpath "$APP/Brg40mFup.exe")" "$@"
    local status=$?
    e2e_check "$TAG: robot $name" test "$status" -eq 0
    if ((status != 0)); then
        tr -d '\r' <"$E2E_WORK/$name.out" | sed 's/^/      | /' | tail -25 >&2
    fi
    return "$status"
}
