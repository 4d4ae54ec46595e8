# Linux suites against the simulated converter (bash): the simulator process brg40sim and programs
# run inside the umockdev testbed that mirrors it (brg40sim-umockdev: converter N appears as
# /dev/sg(N-1)). The checks and the simulator's control come from tests/e2e/harness.sh; nothing
# here needs Wine.
#
#   source "$BRG40_SOURCE_DIR/tests/support/linux_session.sh"
#   linux_begin NAME WORK_ROOT SIM_BIN_DIR   # work folder $E2E_WORK (fresh); traps stop all on exit
#   linux_sim_start                          # the simulator; BRG40_SIM_DIR / BRG40_SIM_PORT exported
#   e2e_ctl attach 1 version=1.04            # brg40sim-ctl
#   linux_run NAME COMMAND...                # COMMAND in the testbed; output in $E2E_WORK/NAME.out
#                                            # and NAME.err; returns its exit status
#   e2e_check / e2e_expect_eq / e2e_expect_grep / e2e_end   as in the Wine suites
# SIM_BIN_DIR holds brg40sim, brg40sim-ctl and brg40sim-umockdev (sim/server and sim/linux of a
# Linux build).

# shellcheck source=../e2e/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/harness.sh"

linux_begin() {  # linux_begin NAME WORK_ROOT SIM_BIN_DIR
    E2E_NAME=$1
    E2E_WORK=$2/$1
    local bin=$3
    E2E_SIM_BIN=$bin/server/brg40sim
    E2E_CTL_BIN=$bin/server/brg40sim-ctl
    LINUX_BRIDGE_BIN=$bin/linux/brg40sim-umockdev
    local f
    for f in "$E2E_SIM_BIN" "$E2E_CTL_BIN" "$LINUX_BRIDGE_BIN"; do
        [[ -x $f ]] || e2e_die "$f is missing: build the simulator and its umockdev bridge"
    done
    rm -rf "$E2E_WORK"
    mkdir -p "$E2E_WORK/state" || e2e_die "cannot create $E2E_WORK"
    # A preserved block kept by brg40 goes to the suite's folder, never to /var/lib or ~/.local.
    export STATE_DIRECTORY=$E2E_WORK/state
    E2E_PASSED=0
    E2E_FAILED=0
    E2E_PREFIX=""
    E2E_SIM_PID=""
    E2E_XVFB_PID=""
    declare -gA E2E_BG_PIDS=()
    trap e2e__cleanup EXIT
    trap 'exit 130' INT TERM
    e2e_log "suite $E2E_NAME in $E2E_WORK"
}

linux_sim_start() {
    export BRG40_SIM_DIR=$E2E_WORK/sim
    mkdir -p "$BRG40_SIM_DIR"
    unset BRG40_SIM_PORT
    "$E2E_SIM_BIN" --dir "$BRG40_SIM_DIR" >"$E2E_WORK/sim.out" 2>&1 &
    E2E_SIM_PID=$!
    e2e_wait_until 5 test -s "$BRG40_SIM_DIR/port" || e2e_die "the simulator did not start (see $E2E_WORK/sim.out)"
    export BRG40_SIM_PORT
    BRG40_SIM_PORT=$(cat "$BRG40_SIM_DIR/port")
    e2e_log "simulator on port $BRG40_SIM_PORT"
}

linux_run() {  # linux_run NAME COMMAND...
    local name=$1
    shift
    "$LINUX_BRIDGE_BIN" "$@" >"$E2E_WORK/$name.out" 2>"$E2E_WORK/$name.err"
}
