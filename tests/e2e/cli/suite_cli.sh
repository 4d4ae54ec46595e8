#!/usr/bin/env bash
# brg40.exe against the simulated converter: list, info and the bench commands with their JSON
# parsed and the device's state checked (spiflash on the simulated SPI flash among them); i2c scan
# finding the devices on the bus; fw check and fw update with every exit code caused for real (0 to
# 5 and 130); recovery from update mode;
# Ctrl+C (SIGINT to the Wine process) during the writes, then fw update again completing.
#   suite_cli.sh BRG40_EXE FWU_GEN_EXE
set -uo pipefail
cli_exe=$1
gen_exe=$2
# shellcheck source=../harness.sh
source "$(dirname "$0")/../harness.sh"
command -v jq >/dev/null || e2e_die "jq is missing: run scripts/install-deps"

e2e_begin wine_cli
e2e_prefix
e2e_sim_start
e2e_update_face_start
APP=$(e2e_stage app "$cli_exe" "$(dirname "$cli_exe")/Brg40Firmup_x64.dll" "$BRG40_SOURCE_DIR/sim/driver/brg40fup.inf" "$gen_exe")
gen() { e2e_wine "gen_$1" "$APP/$(basename "$gen_exe")" "$(e2e_winpath "$APP/$1.fwu")" "${@:2}"; }
gen new105 1.05
gen same104 1.04
gen damaged 1.05 damage=1
gen other106 1.06 model=0x0C20
img() { e2e_winpath "$APP/$1.fwu"; }

# b NAME ARGS...: runs brg40.exe; its exit status is in $rc, its output in $E2E_WORK/NAME.out / .err.
b() {
    local name=$1
    shift
    e2e_wine "$name" --timeout 300 "$APP/brg40.exe" "$@"
    rc=$?
}
# result NAME FILTER: the jq filter applied to the result object of run NAME.
result() { tr -d '\r' <"$E2E_WORK/$1.out" | jq -c "select(.event == \"result\") | $2"; }
events() { tr -d '\r' <"$E2E_WORK/$1.out" | jq -r "$2"; }
json_ok() { tr -d '\r' <"$E2E_WORK/$1.out" | jq -e . >/dev/null; }
get() { e2e_ctl get 3 "$1" | tail -n 1; }
state_of_3() { e2e_ctl state | grep '^lpt3 '; }
loader_count() { e2e_ctl loader-transcript "${1:-3}" | grep -c '^#'; }

# --- no converter, usage ---------------------------------------------------------------------------
b none_info --json info
e2e_expect_eq "info without a converter: exit 3, in the result too" "$rc $(result none_info .exit_code)" "3 3"
b none_update --json fw update "$(img new105)"
e2e_expect_eq "fw update without any converter: exit 3" "$rc $(result none_update .exit_code)" "3 3"
b usage_unknown frobnicate
e2e_expect_eq "an unknown command: exit 2" "$rc" 2
b usage_args --json i2c read 0x50
e2e_expect_eq "i2c read without a length: exit 2" "$rc $(result usage_args .exit_code)" "2 2"
b help --help
e2e_expect_grep "--help documents the exit codes" "$E2E_WORK/help.out" '^  130  interrupted$'

# --- normal mode ----------------------------------------------------------------------------------
e2e_ctl attach 3 version=1.04 >/dev/null
e2e_ctl set 3 i2c-present 5068 >/dev/null
b list --json list
e2e_check "list: JSON" json_ok list
e2e_expect_eq "list: the converter at 3 with 1.04, no update-mode device" \
    "$rc $(result list '[.converters[0].number, .converters[0].firmware, .converters[0].hardware.word, (.update_devices|length)]')" \
    '0 [3,"1.04",4660,0]'
b info --json info
e2e_expect_eq "info: firmware, hardware, library" \
    "$rc $(result info '[.number, .firmware, .hardware.bits6, (.library|test("^[0-9A-F]+\\.[0-9A-F]{2}$"))]')" '0 [3,"1.04",6,true]'

b scan i2c scan
e2e_expect_grep "i2c scan: the grid shows 0x50" "$E2E_WORK/scan.out" '^50: 50 -- '
e2e_expect_grep "i2c scan: the grid shows 0x68" "$E2E_WORK/scan.out" '^60: (-- ){8}68 '
b scan_json --json i2c scan
e2e_expect_eq "i2c scan --json: exactly the two devices" "$rc $(result scan_json .addresses)" '0 ["0x50","0x68"]'

e2e_ctl set 3 i2c-master-reply DEADBEEF >/dev/null
b i2c_read --json i2c read 0x50 4 --reg 0x10
e2e_expect_eq "i2c read: the device's bytes" "$rc $(result i2c_read .data)" '0 "DE AD BE EF"'
b i2c_write --json i2c write 0x68 0x01 20 ff
e2e_expect_eq "i2c write: the bytes reached the bus" "$rc $(get i2c-written)" "0 0120FF"
b i2c_absent --json i2c read 0x51 1
e2e_expect_eq "i2c read of an absent device: exit 1 with the status" "$rc $(result i2c_absent .status)" "1 -11"
b i2c_speed i2c speed 400
e2e_expect_eq "i2c speed 400" "$rc $(get i2c-khz)" "0 400"
b i2c_pullup i2c pullup 3
e2e_expect_eq "i2c pullup 3" "$rc $(get pullup)" "0 3"

e2e_ctl set 3 spi-master-reply A5C3 >/dev/null
b spi_xfer --json spi xfer 0x12 34
e2e_expect_eq "spi xfer: sent and received" "$rc $(get spi-written) $(result spi_xfer .received)" '0 1234 "A5 C3"'

# spiflash: a 25-series flash on the SPI master; 256 KiB written, verified and found on the chip.
e2e_ctl spiflash 3 size=1 >/dev/null
python3 -c 'import random, sys; sys.stdout.buffer.write(random.Random(5).randbytes(262144))' >"$APP/flash.bin"
b flash_write --json spiflash write "$(e2e_winpath "$APP/flash.bin")" --offset 0x40000
e2e_expect_eq "spiflash write: exit 0, from the SFDP table, verified" \
    "$rc $(result flash_write '[.jedec_id, .source, .pages_programmed, .verified]')" '0 ["EF 40 14","SFDP 1.6",1024,true]'
e2e_ctl spiflash-save 3 "$E2E_WORK/flash_chip.bin" >/dev/null
e2e_check "  ... the chip holds the bytes at 0x40000" cmp -i 0x40000:0 -n 262144 "$E2E_WORK/flash_chip.bin" "$APP/flash.bin"
e2e_ctl spiflash 3 status=0x1C >/dev/null
b flash_locked spiflash erase
e2e_expect_eq "spiflash erase of a protected chip: exit 1" "$rc" 1
e2e_expect_grep "  ... says so" "$E2E_WORK/flash_locked.err" 'write-protected.*--unprotect clears them first'
e2e_ctl spiflash 3 off >/dev/null

printf '\x10\x20\x30\x40' >"$APP/eeprom.bin"
b ee_write eeprom write -i "$(e2e_winpath "$APP/eeprom.bin")"
b ee_read --json eeprom read 4
e2e_expect_eq "eeprom write from a file, then read as hex" "$rc $(result ee_read .data)" '0 "10 20 30 40"'
b ee_file eeprom read 4 -o "$(e2e_winpath "$APP/eeprom_back.bin")"
e2e_check "eeprom read -o writes the same bytes" cmp "$APP/eeprom.bin" "$APP/eeprom_back.bin"

b gpo_write gpo write 0x05
b gpo_read --json gpo read
e2e_expect_eq "gpo write, gpo read" "$(get outputs) $(result gpo_read .data)" '5 "05 00 00 00"'
b led led 1
b power power 0x02
e2e_expect_eq "led and power" "$(get led) $(get power)" "1 2"

# slave: a batch an outside master left is printed; Ctrl+C ends it and clears the slave mode.
e2e_ctl set 3 i2c-waiting 112233 >/dev/null
e2e_wine_bg slave "$APP/brg40.exe" slave i2c
e2e_wait_until 30 grep -q '11 22 33' "$E2E_WORK/slave.out"
e2e_check "slave i2c printed the outside master's bytes" grep -q '^11 22 33' "$E2E_WORK/slave.out"
e2e_expect_eq "slave mode set while it runs" "$(get mode-byte)" 2
kill -INT "${E2E_BG_PIDS[slave]}"
e2e_wine_wait slave 30
e2e_expect_eq "slave i2c ended by Ctrl+C clears the mode" "$? $(get mode-byte)" "0 0"

# --- fw check: the rules, nothing sent but the version query ----------------------------------------
e2e_ctl clear-transcript 3 >/dev/null
b check_new --json fw check "$(img new105)"
e2e_expect_eq "fw check of 1.05 on 1.04: accepted, asks nothing" \
    "$rc $(result check_new '[.image_version, .device_version, .accepted, .asks]')" '0 ["1.05","1.04",true,false]'
b check_same --json fw check "$(img same104)"
e2e_expect_eq "fw check of 1.04 on 1.04: accepted, the update asks" "$rc $(result check_same .asks)" "0 true"
e2e_expect_eq "  ... fw check itself asks nothing" "$(tr -d '\r' <"$E2E_WORK/check_same.out" | grep -c '"question"')" 0
b check_damaged --json fw check "$(img damaged)"
e2e_expect_eq "fw check of a damaged image: exit 4, message 115" \
    "$rc $(events check_damaged 'select(.event=="message") | .id')" "4 115"
b check_other fw check "$(img other106)"
e2e_expect_eq "fw check of the other model: exit 4" "$rc" 4
e2e_expect_grep "  ... in the words of message 113" "$E2E_WORK/check_other.err" 'not firmware of NKV-BRG40M'
b check_other_allowed fw check "$(img other106)" --allow-model-change
e2e_expect_eq "  ... accepted with --allow-model-change" "$rc" 0
b check_missing fw check "$(e2e_winpath "$APP/missing.fwu")"
e2e_expect_eq "fw check of a missing file: exit 4" "$rc" 4
e2e_ctl transcript 3 >"$E2E_WORK/transcript_check"
e2e_expect_eq "fw check sent the converter nothing but INQUIRY (12) and the version query (DA)" \
    "$(grep '^#' "$E2E_WORK/transcript_check" | grep -vcE ' cdb=(12|DA)' || true) $(grep -c ' cdb=DA' "$E2E_WORK/transcript_check") $(state_of_3 | grep -c 'mode=normal')" \
    "0 6 1"

# --- fw update: refusals leave the converter alone -------------------------------------------------------
b update_same --json fw update "$(img same104)"
e2e_expect_eq "same version without a terminal or --yes: exit 4, answered No" \
    "$rc $(events update_same 'select(.event=="question") | .answer')" '4 no'
b update_damaged fw update "$(img damaged)"
e2e_expect_eq "damaged image: exit 4" "$rc" 4
e2e_expect_eq "after the refusals: still normal mode, nothing reached the loader" \
    "$(state_of_3 | grep -c 'mode=normal version=1\.04') $(loader_count)" "1 0"

# --- fw update 1.04 -> 1.05 -------------------------------------------------------------------------------
b update --json fw update "$(img new105)"
e2e_check "fw update: every line is JSON" json_ok update
e2e_expect_eq "fw update: exit 0, versions before and after" \
    "$rc $(result update '[.exit_code, .version_before, .version_after, .exchanges]')" '0 [0,"1.04","1.05",3170]'
e2e_expect_eq "fw update: phases in order" "$(events update 'select(.event=="phase") | .phase' | tr '\n' ' ')" \
    "switch prepare erase write check "
e2e_expect_eq "fw update: progress of each phase every 5 %" \
    "$(events update 'select(.event=="progress" and .phase=="write") | .percent' | tr '\n' ' ')" \
    "$(seq 0 5 100 | tr '\n' ' ')"
e2e_ctl loader-transcript 3 >"$E2E_WORK/loader_update"
L=$E2E_WORK/loader_update
e2e_expect_eq "the dialog's exchanges: 1 + 1408 reads, 352 erases, 1408 writes, one close byte" \
    "$(grep -c ' 01' "$L") $(grep -c ' 03' "$L") $(grep -c ' 02' "$L") $(grep -c ' FF$' "$L")" "1409 352 1408 1"
e2e_expect_grep "the converter runs 1.05, flash intact" <(state_of_3) '^lpt3 mode=normal version=1\.05 intact=1'
e2e_expect_grep "the preserved block is the device's own" <(e2e_ctl flash 3) 'kept=1'

# --- exit 1: a failed write; recovery from update mode -------------------------------------------------
before=$(loader_count)
e2e_ctl loader-fault 3 $((before + 1 + 352 + 200)) wrongecho >/dev/null
b write_fault --json fw update "$(img new105)" --yes
e2e_expect_eq "a failed write: exit 1, message 117" \
    "$rc $(events write_fault 'select(.event=="message") | .id')" "1 117"
e2e_expect_grep "  ... the converter stays in update mode" <(state_of_3) '^lpt3 mode=update '
b list_update --json list
e2e_expect_eq "list shows the update-mode device" \
    "$rc $(result list_update '[(.converters|length), (.update_devices[0].path|test("vid_1f3a&pid_0c21"))]')" "0 [0,true]"
e2e_ctl loader-clear 3 >/dev/null
b recover --json fw update "$(img new105)" --yes
e2e_expect_eq "recovery from update mode: exit 0, version unknown before, 1.05 after" \
    "$rc $(result recover '[.version_before, .version_after]')" '0 ["FF.FF","1.05"]'
e2e_expect_grep "  ... back in normal mode with 1.05" <(state_of_3) '^lpt3 mode=normal version=1\.05 intact=1'
e2e_expect_grep "  ... the preserved block erased by the failed run came back from the store" <(e2e_ctl flash 3) 'kept=1'

# --- exit 5: the read-back fails; verify leaves the session open, finish closes it ---------------------
before=$(loader_count)
e2e_ctl loader-fault 3 $((before + 1 + 352 + 1408 + 500)) wrongecho >/dev/null
b check_fault --json fw update "$(img new105)" --yes
e2e_expect_eq "a failed read-back: the run's 119, then 121 and exit 5" \
    "$rc $(events check_fault 'select(.event=="message") | .id' | tr '\n' ' ')" "5 119 121 "
e2e_ctl loader-clear 3 >/dev/null
closes=$(e2e_ctl loader-transcript 3 | grep -c ' FF$')
b verify --json fw verify
e2e_expect_eq "fw verify: exit 0, matched, not closed" "$rc $(result verify '[.matched, .closed]')" "0 [true,false]"
e2e_expect_eq "  ... no close byte, still in update mode" \
    "$(e2e_ctl loader-transcript 3 | grep -c ' FF$') $(state_of_3 | grep -c 'mode=update')" "$closes 1"
b finish --json fw finish
e2e_expect_eq "fw finish: exit 0, closed, firmware 1.05" "$rc $(result finish '[.closed, .version_after]')" '0 [true,"1.05"]'
e2e_expect_grep "  ... back in normal mode" <(state_of_3) '^lpt3 mode=normal version=1\.05 intact=1'

# --- exit 130: Ctrl+C during the writes, then fw update again ------------------------------------------
before=$(loader_count)
e2e_wine_bg interrupted "$APP/brg40.exe" --json fw update "$(img same104)" --yes
e2e_wait_until 60 grep -q '"phase":"write","percent":20' "$E2E_WORK/interrupted.out"
kill -INT "${E2E_BG_PIDS[interrupted]}"
e2e_wine_wait interrupted 60
rc=$?
e2e_expect_eq "Ctrl+C during the writes: exit 130" "$rc $(result interrupted .exit_code)" "130 130"
e2e_expect_grep "  ... says how to finish, naming the unit" "$E2E_WORK/interrupted.out" 'stays in update mode; run `brg40 -d serial:SIM0003 fw update FILE` again'
e2e_ctl loader-transcript 3 >"$E2E_WORK/loader_interrupted"
stopped_at=$(($(loader_count) - before))
e2e_check "  ... stopped in the writes (after $stopped_at exchanges)" test "$stopped_at" -gt $((1 + 352)) -a "$stopped_at" -lt $((1 + 352 + 1408))
e2e_expect_eq "  ... no half-sent packet, no loader protocol error" "$(e2e_ctl protocol-errors 3 | grep -vc '^ok' || true)" 0
e2e_expect_grep "  ... the converter stays in update mode" <(state_of_3) '^lpt3 mode=update '
b after_interrupt --json fw update "$(img same104)" --yes
e2e_expect_eq "fw update again completes" "$rc $(result after_interrupt .version_after)" '0 "1.04"'
e2e_expect_grep "  ... normal mode with 1.04, flash intact" <(state_of_3) '^lpt3 mode=normal version=1\.04 intact=1'
e2e_expect_grep "  ... the preserved block survived the interruption" <(e2e_ctl flash 3) 'kept=1'

# --- --trace --------------------------------------------------------------------------------------------
b trace --trace gpo write 7
e2e_expect_grep "--trace: library calls with their status" "$E2E_WORK/trace.err" '^\[ *[0-9]+\.[0-9]{6}\] = brg40_gpo_write -> 0$'
# --- two converters, one left in update mode: each update reaches its own unit ----------------------
# Unit 3 (1.04) and unit 5 (1.03). On Windows a converter in normal mode is named by its LPT number
# only, so unit 5 is followed through the switch as the one update-mode device that appears.
e2e_ctl attach 5 version=1.03 >/dev/null
e2e_ctl loader-fault 3 $(($(loader_count 3) + 1 + 352 + 5)) wrongecho >/dev/null
b stuck --json -d 3 fw update "$(img new105)" --yes
e2e_expect_eq "unit 3 stops in the writes: exit 1" "$rc $(e2e_ctl state | grep -c '^lpt3 mode=update')" "1 1"
e2e_ctl loader-clear 3 >/dev/null
stuck_count=$(loader_count 3)
b two_list --json list
stuck_path=$(tr -d '\r' <"$E2E_WORK/two_list.out" | jq -r 'select(.event == "result") | .update_devices[0].path')
e2e_expect_eq "list: unit 5 by its number, unit 3 by its update-mode interface path" \
    "$rc $(result two_list '[.converters[0].number, .update_devices[0].serial]') ${stuck_path:0:25}" \
    '0 [5,"SIM0003"] \\?\usb#vid_1f3a&pid_0c21'
b other --json -d 5 fw update "$(img new105)" --yes
e2e_expect_eq "the other unit by its number: 1.03 -> 1.05, named by its number" \
    "$rc $(result other '[.number, .version_before, .version_after]')" '0 [5,"1.03","1.05"]'
e2e_expect_eq "  ... the stuck unit was not touched" \
    "$(e2e_ctl state | grep -c '^lpt3 mode=update') $(($(loader_count 3) - stuck_count))" "1 0"
b stuck_again --json -d "path:$stuck_path" fw update "$(img new105)" --yes
e2e_expect_eq "the stuck unit by its interface path: recovered to 1.05 with its own block" \
    "$rc $(result stuck_again .version_after) $(e2e_ctl flash 3 | grep -c 'kept=1')" '0 "1.05" 1'
e2e_ctl detach 5 >/dev/null

# --- a rack: --all over three units, unit 3 at 1.05 already and unit 5 failing in its writes ------
# Units 4 and 5 have no identity in normal mode here: each is followed through the switch in turn.
e2e_ctl attach 4 version=1.04 >/dev/null
e2e_ctl attach 5 version=1.04 >/dev/null
e2e_ctl loader-fault 5 $((1 + 352 + 20)) wrongecho >/dev/null
b rack --json fw update "$(img new105)" --all
e2e_expect_eq "--all: unit 3 skipped, 4 written, 5 failed in update mode; exit 1 (unit 5's)" \
    "$rc $(result rack '[.done, .skipped, .failed, (.units[] | [.number, .exit_code, .mode])]') $(e2e_ctl state | grep -c 'version=1\.05 intact=1')" \
    '1 [1,1,1,[3,0,"normal"],[4,0,"normal"],[5,1,"update"]] 2'
e2e_ctl loader-clear 5 >/dev/null
b rack_again --json fw update "$(img new105)" --all
e2e_expect_eq "--all again: unit 5 recovered with its own block, the others skipped" \
    "$rc $(result rack_again '[.done, .skipped]') $(e2e_ctl state | grep -c 'version=1\.05 intact=1') $(e2e_ctl flash 5 | grep -c 'kept=1')" \
    '0 [1,2] 3 1'
# --- any file name, elevation said plainly -------------------------------------------------------
rsrc=$E2E_WORK/brg40.rsrc
x86_64-w64-mingw32-objcopy -O binary --only-section=.rsrc "$APP/brg40.exe" "$rsrc"
e2e_expect_grep "brg40.exe's manifest: asInvoker, never a UAC prompt" <(tr -d '\000' <"$rsrc") \
    '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>'
e2e_ctl access 4 denied >/dev/null
b denied_list --json list
b denied_info --json -d 4 info
e2e_expect_eq "LPT4 denied (not elevated): list shows it denied, info exits 6, never 'no converter'" \
    "$(result denied_list '[.converters[] | select(.number == 4) | .state]') $rc $(result denied_info .exit_code)" \
    '["denied"] 6 6'
e2e_expect_grep "  ... and says what to do" <(result denied_info .error) 'run brg40 from a console opened with Run as administrator'
e2e_ctl access 4 granted >/dev/null
named="ファーム ü-é"
cp "$APP/new105.fwu" "$APP/$named.fwu"
b uni_check --json -d 4 fw check "$(img "$named")"
e2e_expect_eq "fw check of an image named in Japanese and accented letters, with a space: accepted" \
    "$rc $(result uni_check .accepted)" "0 true"
b uni_update --json -d 4 fw update "$(img "$named")" --yes
e2e_expect_eq "  ... fw update of it: written" "$rc $(result uni_update .version_after)" '0 "1.05"'
b uni_eeprom --json -d 4 eeprom read 4 -o "$(e2e_winpath "$APP/$named.bin")"
e2e_expect_eq "eeprom read -o to such a name: the file is there, the result carries the path intact" \
    "$rc $(stat -c %s "$APP/$named.bin") $(result uni_eeprom .file)" "0 4 \"$(e2e_winpath "$APP/$named.bin" | sed 's/\\/\\\\/g')\""
e2e_end
