#!/usr/bin/env bash
# The example programs, in C and in C++, run as a user would run them against a simulated
# converter at LPT3; each check looks at what the converter saw or holds, not only at the output.
#   suite_examples.sh DLL EXAMPLE_EXE...
set -uo pipefail
dll=$1
shift
# shellcheck source=../harness.sh
source "$(dirname "$0")/../harness.sh"

e2e_begin wine_examples
e2e_prefix
e2e_sim_start
app=$(e2e_stage app "$dll" "$@")
W=$E2E_WORK

# The commands the converter received since the last call: "CODE BYTE4 LEN TIMEOUT RESULT" each.
commands() {
    e2e_ctl transcript 3 clear | sed -nE 's/^#[0-9]+ cdb=(..)..(..)(..)(..).* len=([0-9]+) timeout=([0-9]+).* -> (.*)$/\1 \4 \5 \6 \7/p'
}

# --- without a converter -------------------------------------------------------------------------
e2e_wine absent_scan "$app/i2c_scan.exe"
e2e_expect_eq "without a converter the C scan ends with status 1" "$?" "1"
e2e_expect_grep "and says what failed and what to check" "$W/absent_scan.out" \
    '^open: no converter found, or it could not be opened \(status -21\); check the converter is plugged in'
e2e_wine absent_list "$app/list_converters_cpp.exe"
e2e_expect_eq "without a converter the C++ list ends with status 1" "$?" "1"

e2e_ctl attach 3 version=1.04 >/dev/null

# --- list converters (C++; the C one runs in wine_library) -----------------------------------------
e2e_wine list "$app/list_converters_cpp.exe"
e2e_expect_eq "the C++ list ends with status 0" "$?" "0"
e2e_expect_grep "it lists LPT3" "$W/list.out" '^Converters found: 1 \(LPT3\)$'
e2e_expect_grep "it prints the firmware version" "$W/list.out" '^  Firmware version: 1\.04$'
e2e_expect_grep "and the library's version" "$W/list.out" '^Library version: 1\.1$'
e2e_expect_eq "the converter saw the search and the version read" "$(commands | cut -d' ' -f1 | tr '\n' ' ')" "12 DA "

# --- I2C scan: the first 64 addresses (0x08 to 0x47) do not answer -------------------------------
expected_reads=$(for ((a = 0x08; a <= 0x77; a++)); do printf 'EB %02X 2 5\n' $a; done)
for exe in i2c_scan i2c_scan_cpp; do
    e2e_ctl fail 3 0xEB sense 3 0x80 1 64 >/dev/null
    e2e_wine "$exe" "$app/$exe.exe"
    e2e_expect_eq "$exe ends with status 0" "$?" "0"
    e2e_expect_grep "$exe lists the 48 addresses that answered" "$W/$exe.out" '^I2C devices: 0x48 0x49 .* 0x77$'
    e2e_expect_grep "$exe counts them" "$W/$exe.out" '^Found: 48$'
    commands >"$W/$exe.commands"
    e2e_expect_eq "$exe set 100 kHz, then read 1 byte (2 moved) at every address 0x08 to 0x77 in turn" \
        "$(sed -n '3,$p' "$W/$exe.commands" | cut -d' ' -f1-4)" "$expected_reads"
    e2e_expect_eq "$exe: the speed command carried 100 kHz" "$(e2e_ctl get 3 i2c-khz | tail -n1)" "100"
done

# --- I2C scan stops at a failed request and names the system's reason ----------------------------
e2e_ctl fail 3 0xEB oserror 170 1 >/dev/null
e2e_wine scan_busy "$app/i2c_scan.exe"
e2e_expect_eq "a request failing with ERROR_BUSY ends the scan with status 2" "$?" "2"
e2e_expect_grep "with a text and what to check" "$W/scan_busy.out" \
    '^I2C read: .+ \(status 170\); check wait for the other request'
e2e_check "the text is the system's (FormatMessage), not the header's own" \
    bash -c "! grep -q 'the device is busy' '$W/scan_busy.out'"
e2e_expect_eq "after the failed request nothing more was sent" "$(commands | tail -n1 | cut -d' ' -f1,2,5-)" "EB 08 oserror 170"

# --- EEPROM dump and restore, across the two languages ---------------------------------------------
pattern=$(for ((i = 0; i < 256; i++)); do printf '%02X' $(((i * 7 + 3) & 255)); done)
e2e_ctl set 3 eeprom "$pattern" >/dev/null
e2e_wine dump_c "$app/eeprom_backup.exe" dump "$(e2e_winpath "$W/eeprom_c.bin")"
e2e_expect_eq "the C dump ends with status 0" "$?" "0"
e2e_expect_eq "its file holds the converter's 256 EEPROM bytes" "$(od -An -tx1 -v "$W/eeprom_c.bin" | tr -d ' \n' | tr a-f A-F)" "$pattern"
e2e_expect_eq "the EEPROM read waited up to 10 s" "$(commands | cut -d' ' -f1,3,4)" "12 36 5
F8 256 10"
e2e_ctl set 3 eeprom "$(printf '%0512d' 0)" >/dev/null
e2e_wine restore_cpp "$app/eeprom_backup_cpp.exe" restore "$(e2e_winpath "$W/eeprom_c.bin")"
e2e_expect_eq "the C++ restore of that file ends with status 0" "$?" "0"
e2e_expect_grep "it verified the read-back" "$W/restore_cpp.out" '^Restored 256 bytes from .* read back and verified$'
e2e_expect_eq "the converter's EEPROM holds the saved bytes again" "$(e2e_ctl get 3 eeprom | tail -n1)" "$pattern"
e2e_wine dump_cpp "$app/eeprom_backup_cpp.exe" dump "$(e2e_winpath "$W/eeprom_cpp.bin")" 16
e2e_expect_eq "a C++ dump of 16 bytes holds the first 16" "$(od -An -tx1 -v "$W/eeprom_cpp.bin" | tr -d ' \n' | tr a-f A-F)" "${pattern:0:32}"
e2e_ctl set 3 eeprom "$(printf '%0512d' 0)" >/dev/null
e2e_wine restore_c "$app/eeprom_backup.exe" restore "$(e2e_winpath "$W/eeprom_cpp.bin")"
e2e_expect_eq "the C restore of that file ends with status 0" "$?" "0"
e2e_expect_eq "the converter's EEPROM starts with those 16 bytes" "$(e2e_ctl get 3 eeprom | tail -n1 | cut -c1-64)" \
    "${pattern:0:32}$(printf '%032d' 0)"
commands >/dev/null

# --- SPI transfer --------------------------------------------------------------------------------
e2e_ctl set 3 spi-master-reply A1B2C3 >/dev/null
e2e_wine spi_c "$app/spi_transfer.exe" 9F0102
e2e_expect_grep "the C transfer set 3000" "$W/spi_c.out" '^SPI clock: 3000$'
e2e_expect_grep "and prints what came back" "$W/spi_c.out" '^Received: A1 B2 C3$'
e2e_expect_eq "the converter got the 3 bytes" "$(e2e_ctl get 3 spi-written | tail -n1)" "9F0102"
e2e_expect_eq "and the step 3000" "$(e2e_ctl get 3 spi-step | tail -n1)" "3000"
e2e_wine spi_cpp "$app/spi_transfer_cpp.exe" 5A 2999
e2e_expect_grep "the C++ transfer of one byte at 2999 sets the step 750" "$W/spi_cpp.out" '^SPI clock: 750$'
e2e_expect_grep "and prints the one byte that came back" "$W/spi_cpp.out" '^Received: A1$'
e2e_expect_eq "the converter got that one byte" "$(e2e_ctl get 3 spi-written | tail -n1)" "5A"
e2e_expect_eq "the one-byte transfers moved 2 bytes each way" "$(commands | grep -E '^F[12]' | tail -n2 | cut -d' ' -f1,3)" "F1 2
F2 2"

# --- slave receive with a callback -----------------------------------------------------------------
e2e_ctl set 3 i2c-waiting 0102030405 >/dev/null
e2e_wine slave_c "$app/slave_receive.exe"
e2e_expect_eq "the C slave receiver ends with status 0" "$?" "0"
e2e_expect_grep "its callback got the 5 waiting bytes" "$W/slave_c.out" '^Received 5 bytes: 01 02 03 04 05$'
e2e_expect_eq "nothing is left waiting" "$(e2e_ctl get 3 i2c-waiting | tail -n1)" "-"
e2e_expect_eq "the converter left the slave mode" "$(e2e_ctl get 3 mode-byte | tail -n1)" "0"

e2e_ctl set 3 i2c-waiting 0A0B0C >/dev/null
e2e_wine_bg slave_cpp "$app/slave_receive_cpp.exe" 5
e2e_wait_until 20 grep -q '^Batch of 3 bytes' "$W/slave_cpp.out"
e2e_ctl set 3 i2c-waiting 0D0E >/dev/null  # a second batch for the same receiver
e2e_wine_wait slave_cpp 30
e2e_expect_eq "the C++ receiver ends with status 0" "$?" "0"
e2e_expect_grep "its function got the first batch" "$W/slave_cpp.out" '^Batch of 3 bytes: 0A 0B 0C'
e2e_expect_grep "and the second, without a new start by the program" "$W/slave_cpp.out" '^Batch of 2 bytes: 0D 0E'
e2e_expect_grep "5 bytes in all" "$W/slave_cpp.out" '^Received 5 bytes in all'
e2e_expect_eq "the guard left the slave mode" "$(e2e_ctl get 3 mode-byte | tail -n1)" "0"

e2e_expect_eq "the model found no malformed request" "$(e2e_ctl protocol-errors 3)" ""
e2e_expect_eq "the bridge found no malformed block" "$(e2e_ctl bridge-errors)" ""
e2e_end
