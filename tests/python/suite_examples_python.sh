#!/usr/bin/env bash
# The Python examples run as a user would run them against a simulated converter (number 1 in
# the umockdev testbed); each check looks at what the converter saw or holds.
#   suite_examples_python.sh SIM_BIN_DIR WORK_ROOT LIBRARY ASAN_RUNTIME|""
set -uo pipefail
sim_bin=$1
work_root=$2
library=$3
asan_runtime=$4
here=$(cd "$(dirname "$0")" && pwd)
examples=$here/../../examples/python
# shellcheck source=../support/linux_session.sh
source "$here/../support/linux_session.sh"

linux_begin python_examples "$work_root" "$sim_bin"
W=$E2E_WORK
export BRG40_LIBRARY=$library
export PYTHONPATH=$here/../../python
export PYTHONDONTWRITEBYTECODE=1 PYTHONNOUSERSITE=1  # nothing from ~/.local
if [[ -n $asan_runtime ]]; then
    export LD_PRELOAD=$asan_runtime${LD_PRELOAD:+:$LD_PRELOAD}
    export ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}
fi
py() {  # py NAME EXAMPLE ARGS...
    local name=$1 example=$2
    shift 2
    linux_run "$name" /usr/bin/python3 "$examples/$example.py" "$@"
}
commands() { e2e_ctl transcript 1 clear | sed -nE 's/^#[0-9]+ cdb=(..)..(..)(..)(..).* len=([0-9]+).*$/\1 \4 \5/p'; }

linux_sim_start
py absent i2c_scan
e2e_expect_eq "without a converter the scan ends with status 1" "$?" "1"
e2e_expect_grep "and says what failed and what to check" "$W/absent.out" \
    '^open: no converter found, or it could not be opened \(status -21\); check the converter is plugged in'

e2e_ctl attach 1 version=1.04 >/dev/null
e2e_wait_until 15 bash -c "'$LINUX_BRIDGE_BIN' /usr/bin/python3 -c 'import brg40, sys; sys.exit(brg40.find() != [1])'"
commands >/dev/null

py list list_converters
e2e_expect_eq "the list ends with status 0" "$?" "0"
e2e_expect_grep "it lists converter 1" "$W/list.out" '^Converters found: 1 \(1\)$'
e2e_expect_grep "with firmware 1.04" "$W/list.out" '^  Firmware version: 1\.04$'

e2e_ctl fail 1 0xEB sense 3 0x80 1 64 >/dev/null  # the first 64 addresses do not answer
commands >/dev/null
py scan i2c_scan
e2e_expect_eq "the scan ends with status 0" "$?" "0"
e2e_expect_grep "it lists the 48 addresses that answered" "$W/scan.out" '^I2C devices: 0x48 0x49 .* 0x77$'
e2e_expect_eq "it read 1 byte (2 moved) at every address 0x08 to 0x77 in turn" \
    "$(commands | grep '^EB' | cut -d' ' -f2,3)" "$(for ((a = 0x08; a <= 0x77; a++)); do printf '%02X 2\n' $a; done)"

pattern=$(for ((i = 0; i < 256; i++)); do printf '%02X' $(((i * 7 + 3) & 255)); done)
e2e_ctl set 1 eeprom "$pattern" >/dev/null
py dump eeprom_backup dump "$W/eeprom.bin"
e2e_expect_eq "the dump saves the converter's 256 EEPROM bytes" \
    "$(od -An -tx1 -v "$W/eeprom.bin" | tr -d ' \n' | tr a-f A-F)" "$pattern"
e2e_ctl set 1 eeprom "$(printf '%0512d' 0)" >/dev/null
py restore eeprom_backup restore "$W/eeprom.bin"
e2e_expect_grep "the restore verifies its read-back" "$W/restore.out" '^Restored 256 bytes from .* read back and verified$'
e2e_expect_eq "the converter's EEPROM holds the saved bytes again" "$(e2e_ctl get 1 eeprom | tail -n1)" "$pattern"

e2e_ctl set 1 spi-master-reply A1B2C3 >/dev/null
py spi spi_transfer 9F0102
e2e_expect_grep "the SPI transfer set 3000" "$W/spi.out" '^SPI clock: 3000$'
e2e_expect_grep "and prints what came back" "$W/spi.out" '^Received: A1 B2 C3$'
e2e_expect_eq "the converter got the 3 bytes" "$(e2e_ctl get 1 spi-written | tail -n1)" "9F0102"

e2e_ctl set 1 i2c-waiting 0102030405 >/dev/null
py slave slave_receive 5
e2e_expect_eq "the slave receiver ends with status 0" "$?" "0"
e2e_expect_grep "its callback got the 5 waiting bytes" "$W/slave.out" '^Batch of 5 bytes: 01 02 03 04 05$'
e2e_expect_eq "the converter left the slave mode" "$(e2e_ctl get 1 mode-byte | tail -n1)" "0"

e2e_expect_eq "the model found no malformed request" "$(e2e_ctl protocol-errors 1)" ""
e2e_end
