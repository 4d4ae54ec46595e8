#!/usr/bin/env bash
# brg40 on Linux against the simulated converter behind umockdev (the bridge brg40sim-umockdev
# gives it /dev/sgN in normal mode and the USB device 1f3a:0c21 in update mode): list, info and
# i2c scan through the library; fw update 1.04 -> 1.05 over libusb with the flash and the
# preserved block checked; the converter unplugged in the middle of the writes, then a second
# fw update recovering it with the block kept in the state folder.
#   suite_linux_cli.sh BRG40 BRIDGE FWU_GEN SIM SIM_CTL
set -uo pipefail
cli=$1 bridge=$2 gen=$3 sim_bin=$4 ctl_bin=$5
# shellcheck source=../harness.sh
source "$(dirname "$0")/../harness.sh"  # the checks and the log; no Wine here
command -v jq >/dev/null || e2e_die "jq is missing: run scripts/install-deps"

E2E_NAME=linux_cli
E2E_WORK=${BRG40_E2E_DIR:-$(dirname "$cli")/e2e}/$E2E_NAME
rm -rf "$E2E_WORK" && mkdir -p "$E2E_WORK" || e2e_die "cannot create $E2E_WORK"
SIM_PID=""
cleanup() {
    [[ -n $SIM_PID ]] && kill "$SIM_PID" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export BRG40_SIM_DIR=$E2E_WORK/sim
mkdir -p "$BRG40_SIM_DIR"
"$sim_bin" --dir "$BRG40_SIM_DIR" >"$E2E_WORK/sim.out" 2>&1 &
SIM_PID=$!
e2e_wait_until 5 test -s "$BRG40_SIM_DIR/port" || e2e_die "the simulator did not start (see $E2E_WORK/sim.out)"
export BRG40_SIM_PORT
BRG40_SIM_PORT=$(cat "$BRG40_SIM_DIR/port")
e2e_ctl() { "$ctl_bin" "$@"; }

# The preserved block's folder, as systemd's StateDirectory= would give it.
export STATE_DIRECTORY=$E2E_WORK/state
mkdir -p "$STATE_DIRECTORY"
# The sanitizer runtime of a host build comes after umockdev's preload library.
export ASAN_OPTIONS=${ASAN_OPTIONS:-verify_asan_link_order=0}

"$gen" "$E2E_WORK/new105.fwu" 1.05 || e2e_die "no image"

# b NAME ARGS...: brg40 inside the emulated machine; exit status in $rc, output in NAME.out / .err.
b() {
    local name=$1
    shift
    timeout 300 "$bridge" -- "$cli" "$@" >"$E2E_WORK/$name.out" 2>"$E2E_WORK/$name.err"
    rc=$?
}
result() { jq -c "select(.event == \"result\") | $2" <"$E2E_WORK/$1.out"; }
events() { jq -r "$2" <"$E2E_WORK/$1.out"; }
state_of_3() { e2e_ctl state | grep '^lpt3 '; }
state_of() { e2e_ctl state | grep "^lpt$1 "; }
loader_count() { e2e_ctl loader-transcript "${1:-3}" | grep -c '^#'; }
loader_reached() { test "$(loader_count "$1")" -ge "$2"; }  # for e2e_wait_until: counted at each look
# Ctrl+C for the brg40 that the bridge runs below timeout PID (a background job of this script
# ignores SIGINT; brg40 sets its own handler, the bridge keeps ignoring it).
interrupt() { pkill -INT -P "$(pgrep -P "$1")"; }
# True once that brg40 has taken the Ctrl+C sent to it: two sent before it runs arrive as one.
interrupt_taken() {
    local pending
    pending=$(awk '/^ShdPnd:/ { print $2 }' "/proc/$(pgrep -P "$(pgrep -P "$1")")/status" 2>/dev/null) &&
        (((0x$pending & 2) == 0))
}
brg40_ended() {  # gone, or a zombie that its stopped bridge has not reaped yet
    local stat
    stat=$(ps -o stat= --ppid "$(pgrep -P "$1")")
    [[ -z $stat || $stat == Z* ]]
}

# --- normal mode through the library ------------------------------------------------------------
e2e_ctl attach 3 version=1.04 >/dev/null
e2e_ctl set 3 i2c-present 5068 >/dev/null
b list --json list
# On Linux a number is the converter's rank among those found: the one at LPT3 (/dev/sg2) is 1.
e2e_expect_eq "list: the converter as number 1 with 1.04, no update-mode device" \
    "$rc $(result list '[.converters[0].number, .converters[0].firmware, (.update_devices|length)]')" '0 [1,"1.04",0]'
b info --json info
e2e_expect_eq "info: firmware and hardware" "$rc $(result info '[.number, .firmware, .hardware.bits6]')" '0 [1,"1.04",6]'
b scan --json i2c scan
e2e_expect_eq "i2c scan: exactly the two devices" "$rc $(result scan .addresses)" '0 ["0x50","0x68"]'

# --- fw update 1.04 -> 1.05 over libusb -------------------------------------------------------------
b update --json fw update "$E2E_WORK/new105.fwu"
e2e_expect_eq "fw update: exit 0, versions before and after, every exchange" \
    "$rc $(result update '[.version_before, .version_after, .exchanges]')" '0 ["1.04","1.05",3170]'
e2e_ctl loader-transcript 3 >"$E2E_WORK/loader_update"
L=$E2E_WORK/loader_update
e2e_expect_eq "the exchanges: 1 + 1408 reads, 352 erases, 1408 writes, one close byte" \
    "$(grep -c ' 01' "$L") $(grep -c ' 03' "$L") $(grep -c ' 02' "$L") $(grep -c ' FF$' "$L")" "1409 352 1408 1"
e2e_expect_grep "the converter runs 1.05, flash intact" <(state_of_3) '^lpt3 mode=normal version=1\.05 intact=1'
e2e_expect_grep "the preserved block is the device's own" <(e2e_ctl flash 3) 'kept=1'
e2e_expect_eq "the state folder is empty again" "$(ls -A "$STATE_DIRECTORY")" ""

# --- unplugged in the middle of the writes, then recovered --------------------------------------------
# The loader leaves write 10 unanswered, so that the unplug surely lands in the writes (after the
# last erase has cleared the preserved block on the device).
before=$(loader_count)
stall=$((before + 1 + 352 + 10))
e2e_ctl loader-fault 3 "$stall" ignore >/dev/null
timeout 300 "$bridge" -- "$cli" --json --trace fw update "$E2E_WORK/new105.fwu" --yes \
    >"$E2E_WORK/unplugged.out" 2>"$E2E_WORK/unplugged.err" &
pid=$!
e2e_wait_until 60 loader_reached 3 "$stall"
e2e_ctl unplug 3 >/dev/null
wait "$pid"
rc=$?
e2e_expect_eq "unplugged during the writes: exit 1, message 117" \
    "$rc $(events unplugged 'select(.event=="message") | .id')" "1 117"
# The emulated bus does not wake a libusb that waits for a reply when the device goes, so the
# waiting read ends by its time-out rather than with NO_DEVICE as on a real bus.
e2e_expect_grep "  ... the transfer failed" "$E2E_WORK/unplugged.err" 'LIBUSB_ERROR_(NO_DEVICE|TIMEOUT)'
e2e_check "  ... the block is kept in the state folder, under the unit's serial" test -s "$STATE_DIRECTORY/preserved-serial-SIM0003.bin"
e2e_expect_grep "  ... the device's block was erased" <(e2e_ctl flash 3) 'kept=0'
e2e_ctl loader-clear 3 >/dev/null
e2e_ctl replug 3 >/dev/null
b recover --json fw update "$E2E_WORK/new105.fwu" --yes
e2e_expect_eq "fw update again: recovered from update mode, 1.05" \
    "$rc $(result recover '[.version_before, .version_after]')" '0 ["FF.FF","1.05"]'
e2e_expect_grep "  ... normal mode with 1.05, flash intact" <(state_of_3) '^lpt3 mode=normal version=1\.05 intact=1'
e2e_expect_grep "  ... the preserved block came back from the state folder" <(e2e_ctl flash 3) 'kept=1'
e2e_expect_eq "  ... and the state folder is empty again" "$(ls -A "$STATE_DIRECTORY")" ""
# --- two converters, one left in update mode: each update reaches its own unit ----------------------
# Unit 3 (1.05, serial SIM0003, port 1-3) and unit 5 (1.03, serial B5 at port 1-5; its update-mode
# device reports no serial, so it is followed by its port). A loader fault leaves unit 3 stuck.
e2e_ctl attach 5 version=1.03 serial=B5 port=1-5 update-serial=0 >/dev/null
b several --json fw update "$E2E_WORK/new105.fwu" --yes
e2e_expect_eq "two converters and no -d: exit 2, both listed, nothing switched" \
    "$rc $(result several '[.units[].selector]') $(e2e_ctl state | grep -c 'mode=normal')" '2 ["serial:SIM0003","serial:B5"] 2'
b nomatch --json -d serial:NOPE info
e2e_expect_eq "a -d that names no unit: exit 3" "$rc" "3"
e2e_ctl loader-fault 3 $(($(loader_count 3) + 1 + 352 + 5)) wrongecho >/dev/null
b stuck --json -d serial:SIM0003 fw update "$E2E_WORK/new105.fwu" --yes
e2e_expect_eq "unit 3 stops in the writes: exit 1, named by its identity" \
    "$rc $(result stuck '[.serial, .path]')" '1 ["SIM0003","1-3"]'
e2e_expect_grep "  ... the advice names the unit" <(result stuck .error) 'run `brg40 -d serial:SIM0003 fw update FILE` again'
e2e_ctl loader-clear 3 >/dev/null
stuck_count=$(loader_count 3)
b list_two --json list
e2e_expect_eq "list: unit 5 in normal mode, unit 3 as an update-mode device on its port" \
    "$rc $(result list_two '[.converters[0].serial, .converters[0].path, .converters[0].firmware, .update_devices[0].path]')" \
    '0 ["B5","1-5","1.03","1-3"]'
b other --json -d serial:B5 fw update "$E2E_WORK/new105.fwu" --yes
e2e_expect_eq "the other unit by its serial: 1.03 -> 1.05, and the result names it" \
    "$rc $(result other '[.serial, .path, .version_before, .version_after]')" '0 ["B5","1-5","1.03","1.05"]'
e2e_expect_eq "  ... the stuck unit was not touched: update mode, no exchange" \
    "$(state_of 3 | grep -c 'mode=update') $(($(loader_count 3) - stuck_count))" "1 0"
b stuck_again --json -d path:1-3 fw update "$E2E_WORK/new105.fwu" --yes
e2e_expect_eq "the stuck unit by its port path: recovered to 1.05 with its own block" \
    "$rc $(result stuck_again '[.path, .version_after]') $(e2e_ctl flash 3 | grep -c 'kept=1')" '0 ["1-3","1.05"] 1'
e2e_expect_grep "  ... both units run 1.05" <(e2e_ctl state | grep -c 'mode=normal version=1.05') '^2$'

# --- a converter held by another program keeps its number -------------------------------------------
echo 1 >"$BRG40_SIM_DIR/sg-locks/sg2"  # unit 3's node, held as by another program
b held --json list
e2e_expect_eq "list while unit 3 is held: numbers unchanged, unit 3 busy" \
    "$rc $(result held '[.converters[] | [.number, .serial, .state]]')" '0 [[1,"SIM0003","busy"],[2,"B5","free"]]'
b held_info --json -d 2 info
e2e_expect_eq "  ... number 2 is still unit 5" "$rc $(result held_info '[.number, .serial]')" '0 [2,"B5"]'
b held_one --json -d 1 info
e2e_expect_eq "  ... number 1 fails rather than reach another unit" "$rc $(result held_one .serial)" '1 "SIM0003"'
rm -f "$BRG40_SIM_DIR/sg-locks/sg2"

# --- a block copy that cannot be saved stops the update before anything is erased ------------------
touch "$E2E_WORK/not-a-folder"
STATE_DIRECTORY=$E2E_WORK/not-a-folder/state b unsaved --json -d serial:B5 fw update "$E2E_WORK/new105.fwu" --yes
e2e_expect_eq "unsaved copy: exit 1, no erase reached the loader" \
    "$rc $(e2e_ctl loader-transcript 5 | tail -n 3 | grep -c ' 03 ')" "1 0"
e2e_expect_grep "  ... and says so" <(result unsaved .error) 'could not be saved'
e2e_expect_grep "  ... the flash is the device's own" <(e2e_ctl flash 5) 'kept=1'
b unsaved_again --json -d path:1-5 fw update "$E2E_WORK/new105.fwu" --yes
e2e_expect_eq "  ... a later update with a state folder finishes it" "$rc $(result unsaved_again .version_after)" '0 "1.05"'
# --- the switch answered "no device" by a converter that did switch; SIGTERM; Ctrl+C twice ----------
e2e_ctl fail 5 254 oserror 31 1 carried >/dev/null
b carried --json --trace -d serial:B5 fw update "$E2E_WORK/new105.fwu" --yes
e2e_expect_eq "a switch that fails after the converter left: the update goes on to 1.05" \
    "$rc $(result carried .version_after)" '0 "1.05"'
e2e_expect_grep "  ... and --trace says so" "$E2E_WORK/carried.err" 'reported status 31, but the converter.s update-mode device appeared'
before=$(loader_count 5)
timeout 300 "$bridge" -- "$cli" --json -d serial:B5 fw update "$E2E_WORK/new105.fwu" --yes \
    >"$E2E_WORK/term.out" 2>"$E2E_WORK/term.err" &
pid=$!
e2e_wait_until 60 loader_reached 5 $((before + 1 + 352 + 50))
pkill -TERM -P "$(pgrep -P "$pid")"
wait "$pid"
rc=$?
e2e_expect_eq "SIGTERM during the writes: exit 143 (in the result too), update mode, no exchange cut" \
    "$rc $(result term .exit_code) $(state_of 5 | grep -c 'mode=update') $(e2e_ctl protocol-errors 5 | grep -vc '^ok')" \
    "143 143 1 0"
# The exchange hangs for as long as the test likes: the bridge that emulates the USB device is
# stopped, so brg40's next transfer waits in it (the loader's own time-out would end the wait
# after a second, too soon to be sure of two signals on a loaded machine).
before=$(loader_count 5)
timeout 300 "$bridge" -- "$cli" -d path:1-5 fw update "$E2E_WORK/new105.fwu" --yes \
    >"$E2E_WORK/twice.out" 2>"$E2E_WORK/twice.err" &
pid=$!
e2e_wait_until 60 loader_reached 5 $((before + 1 + 20))
kill -STOP "$(pgrep -P "$pid")"
interrupt "$pid"
e2e_wait_until 10 interrupt_taken "$pid"
interrupt "$pid"
e2e_wait_until 10 brg40_ended "$pid"
kill -CONT "$(pgrep -P "$pid")"
wait "$pid"
rc=$?
e2e_expect_eq "Ctrl+C twice within 2 s while an exchange hangs: ends at once with 130" "$rc" 130
e2e_expect_grep "  ... warning that the converter may be left in update mode" "$E2E_WORK/twice.err" \
    'ended at once: a converter being updated may be left in update mode'
b twice_again --json -d path:1-5 fw update "$E2E_WORK/new105.fwu" --yes
e2e_expect_eq "  ... and fw update recovers it" "$rc $(result twice_again .version_after)" '0 "1.05"'

# --- selftest: what a user can run and attach to a report ---------------------------------------------
e2e_ctl set 5 i2c-present 50 >/dev/null
e2e_ctl spiflash 5 size=1 >/dev/null
device_state() { for field in eeprom outputs power led; do e2e_ctl get 5 "$field"; done; state_of 5; e2e_ctl spiflash 5 | sed 's/ frames=[0-9]*//'; }  # one frame: the ID read
state_before=$(device_state)
b selftest --json -d serial:B5 selftest "$E2E_WORK/new105.fwu"
e2e_expect_eq "selftest: every check of the converter and the system named, the converter's all pass" \
    "$(result selftest '[.serial, ([.checks[].name] | join(",")), ([.checks[] | select(.name != "udev") | .ok] | all)]')" \
    '["B5","list,info,eeprom,i2c scan,spi flash,fw check,sg module,node,holders,udev",true]'
e2e_expect_eq "  ... it changed nothing on the converter" "$(device_state)" "$state_before"

# --- a rack: four units at once, one with a loader fault ------------------------------------------
e2e_ctl detach 3 >/dev/null
e2e_ctl detach 5 >/dev/null
for n in 1 2 4 6; do e2e_ctl attach $n version=1.04 >/dev/null; done
e2e_ctl loader-fault 4 $((1 + 352 + 40)) wrongecho >/dev/null
b rack --json fw update "$E2E_WORK/new105.fwu" --all
e2e_expect_eq "--all, unit 4 failing in its writes: exit 1 (its code), three at 1.05, unit 4 in update mode" \
    "$rc $(e2e_ctl state | grep -c 'mode=normal version=1\.05 intact=1') $(state_of 4 | grep -c 'mode=update')" "1 3 1"
e2e_expect_eq "  ... the result: each unit by serial with its code, versions and mode" \
    "$(result rack '[.done, .failed, (.units[] | [.serial, .exit_code, .version_before, .version_after, .mode])]')" \
    '[3,1,["SIM0001",0,"1.04","1.05","normal"],["SIM0002",0,"1.04","1.05","normal"],["SIM0004",1,"1.04",null,"update"],["SIM0006",0,"1.04","1.05","normal"]]'
e2e_expect_eq "  ... every event names its unit" "$(events rack 'select(.event != "result" and .serial == null)' | wc -l)" 0
e2e_check "  ... the faulty unit's block is kept under its serial" test -s "$STATE_DIRECTORY/preserved-serial-SIM0004.bin"
e2e_ctl loader-clear 4 >/dev/null

# Ctrl+C while all four are written (--force: three are at 1.05 already), then --all recovers them.
before=$(loader_count 1)
timeout 300 "$bridge" -- "$cli" --json fw update "$E2E_WORK/new105.fwu" --all --force --yes \
    >"$E2E_WORK/rack_int.out" 2>"$E2E_WORK/rack_int.err" &
pid=$!
e2e_wait_until 60 loader_reached 1 $((before + 1 + 352 + 100))
interrupt "$pid"
wait "$pid"
rc=$?
e2e_expect_eq "Ctrl+C during --all: exit 130, every unit interrupted and in update mode" \
    "$rc $(result rack_int '[.units[].exit_code] | unique') $(e2e_ctl state | grep -c 'mode=update')" "130 [130] 4"
e2e_expect_eq "  ... each stopped between exchanges" \
    "$(for n in 1 2 4 6; do e2e_ctl protocol-errors $n; done | grep -vc '^ok' || true)" 0
b rack_again --json fw update "$E2E_WORK/new105.fwu" --all
e2e_expect_eq "--all again: all four recovered to 1.05 with their own blocks, the state folder empty" \
    "$rc $(e2e_ctl state | grep -c 'mode=normal version=1\.05 intact=1') $(for n in 1 2 4 6; do e2e_ctl flash $n; done | grep -c 'kept=1') $(ls -A "$STATE_DIRECTORY" | wc -l)" \
    "0 4 4 0"

# --- a station: units plugged in one by one while --watch runs -----------------------------------
for n in 1 2 4 6; do e2e_ctl detach $n >/dev/null; done
counts() { jq -c 'select(.event == "counts") | [.done, .skipped, .failed]' <"$E2E_WORK/watch.out" | tail -n 1; }
counts_are() { test "$(counts)" = "$1"; }
timeout 300 "$bridge" -- "$cli" --json fw update "$E2E_WORK/new105.fwu" --watch \
    >"$E2E_WORK/watch.out" 2>"$E2E_WORK/watch.err" &
pid=$!
e2e_ctl attach 1 version=1.04 >/dev/null
e2e_ctl attach 2 version=1.05 >/dev/null
e2e_wait_until 120 counts_are "[1,1,0]"
sleep 3  # unit 1 stays plugged in: it is not written again
e2e_expect_eq "--watch: unit 1 written once while it stays, unit 2 (1.05) skipped" \
    "$(counts) $(e2e_ctl loader-transcript 1 | grep -c ' 03')" "[1,1,0] 352"
e2e_ctl detach 1 >/dev/null
sleep 2  # unplugged long enough for the station to see it go, as a hand would
e2e_ctl attach 1 version=1.04 >/dev/null
echo 1 >"$BRG40_SIM_DIR/sg-locks/sg5"  # unit 6 does not open at first, as before udev gives access
e2e_ctl attach 6 version=1.03 >/dev/null
sleep 1
rm -f "$BRG40_SIM_DIR/sg-locks/sg5"
e2e_wait_until 120 counts_are "[3,1,0]"
interrupt "$pid"
wait "$pid"
rc=$?
e2e_expect_eq "  ... unit 1 plugged in again, unit 6 written once it opened; Ctrl+C ends it with exit 0" \
    "$rc $(result watch '[.done, .skipped, .failed, ([.units[].serial] | sort)]') $(e2e_ctl state | grep -c 'version=1\.05 intact=1')" \
    '0 [3,1,0,["SIM0001","SIM0001","SIM0002","SIM0006"]] 3'
e2e_end
