#!/usr/bin/env bash
# The real DLL under Wine against the simulated converter, through the SG_IO bridge:
# the bridge itself (raw pass-through requests), the example program with no converter, one and
# several, the status of sense errors and failed requests, the zeroed block, one timing, and a
# library freed while its slave worker polls.
#   suite_library.sh DLL LIST_CONVERTERS_EXE LIBRARY_PROBE_EXE BRIDGE_PROBE_EXE DLL_VERSION_PROBE_EXE
#                    UNLOAD_PROBE_EXE
set -uo pipefail
dll=$1
example_exe=$2
library_probe_exe=$3
bridge_probe_exe=$4
dll_version_probe_exe=$5
unload_probe_exe=$6
# shellcheck source=harness.sh
source "$(dirname "$0")/harness.sh"

e2e_begin wine_library
e2e_prefix
e2e_sim_start
app=$(e2e_stage app "$dll" "$example_exe" "$library_probe_exe" "$bridge_probe_exe" "$unload_probe_exe")
W=$E2E_WORK

# --- the bridge, without the library --------------------------------------------------------
e2e_ctl attach 3 version=1.04 >/dev/null
e2e_wine bridge "$app/bridge_probe.exe" check 3
e2e_check "raw pass-through checks run to the end" grep -q '^checks: .* 0 failed' "$W/bridge.out"
sed 's/^/      /' "$W/bridge.out"
e2e_wine timing "$app/bridge_probe.exe" time 3 2000
e2e_expect_grep "2000 INQUIRY round trips through the bridge" "$W/timing.out" '^round trip: [0-9.]+ us'
cat "$W/timing.out"
e2e_ctl detach 3 >/dev/null

# --- the example program --------------------------------------------------------------------
e2e_wine absent "$app/list_converters.exe"
e2e_expect_eq "without a converter the example ends with status 1" "$?" "1"
e2e_expect_grep "without a converter it reports -21" "$W/absent.out" '^No converter found \(status -21\)$'
e2e_expect_grep "the library version 1.1 comes from the DLL's own resource" "$W/absent.out" '^Library version: 1\.1$'

# The library reads its own file's version, not the first file of its name on the search path:
# beside the program lies a copy whose version strings say 9, 9, 0, 0.
decoy=$(e2e_stage decoy "$dll_version_probe_exe")
perl -0777 -pe 's/1\x00,\x00 \x001\x00,\x00 \x000\x00,\x00 \x000\x00/9\x00,\x00 \x009\x00,\x00 \x000\x00,\x00 \x000\x00/g' \
    "$dll" >"$decoy/Brg40Firmup_x64.dll"
e2e_check "the decoy differs from the library" bash -c "! cmp -s '$dll' '$decoy/Brg40Firmup_x64.dll'"
e2e_wine own_version "$decoy/dll_version_probe.exe" "$(e2e_winpath "$app/Brg40Firmup_x64.dll")"
e2e_expect_grep "brg40_get_dll_version reads the loaded module's own file" "$W/own_version.out" '^dll_version=0 1\.1$'
e2e_wine decoy_version "$decoy/dll_version_probe.exe" "$(e2e_winpath "$decoy/Brg40Firmup_x64.dll")"
e2e_expect_grep "and the decoy, loaded itself, reports its own 9.9" "$W/decoy_version.out" '^dll_version=0 9\.9$'

e2e_ctl attach 3 version=1.04 >/dev/null
e2e_ctl set 3 hw 0312340000000600 >/dev/null
e2e_wine present "$app/list_converters.exe"
e2e_expect_eq "with a converter the example ends with status 0" "$?" "0"
e2e_expect_grep "it lists the converter at LPT3" "$W/present.out" '^Converters found: 1 \(LPT3\)$'
e2e_expect_grep "it prints the model's firmware version" "$W/present.out" '^  Firmware version: 1\.04$'
e2e_expect_grep "it prints the hardware information" "$W/present.out" \
    '^  Hardware information: flag2=2 flag1=1 word=0x1234 bits6=6$'
e2e_expect_eq "the converter saw the search, version and hardware information, each in a zeroed block" \
    "$(e2e_ctl transcript 3 clear | sed -E 's/^#[0-9]+ cdb=(..).* clean=([01]).* -> (.*)$/\1 \2 \3/' | tr '\n' ' ')" \
    "12 1 ok DA 1 ok DE 1 ok "

e2e_ctl attach 2 version=1.05 >/dev/null
e2e_ctl attach 5 "product=USB-SPI/I2C Cnv." version=1.06 >/dev/null
e2e_ctl attach 3 product=OTHER >/dev/null
e2e_wine several "$app/list_converters.exe"
e2e_expect_grep "two converters of either product, not the other device" "$W/several.out" \
    '^Converters found: 2 \(LPT2, LPT5\)$'
e2e_expect_grep "the first one is opened" "$W/several.out" '^  Firmware version: 1\.05$'
e2e_ctl detach 2 >/dev/null
e2e_ctl detach 5 >/dev/null

# --- statuses through the real transport -----------------------------------------------------
e2e_ctl attach 3 version=1.04 >/dev/null
e2e_ctl fail 3 0xDB sense 3 0x80 4 1 >/dev/null
e2e_ctl fail 3 0xE1 sense 3 0x80 9 1 >/dev/null
e2e_ctl fail 3 0xE8 sense 5 0x24 0 1 >/dev/null
e2e_ctl fail 3 0xE9 oserror 21 1 >/dev/null
e2e_ctl fail 3 0xDA oserror 31 1 >/dev/null
e2e_ctl set 3 i2c-waiting 0102030405 >/dev/null
e2e_ctl set 3 spi-waiting 0A0B0C >/dev/null
e2e_wine probe "$app/library_probe.exe"
P=$W/probe.out
e2e_expect_grep "brg40_open finds and opens the converter" "$P" '^open=0$'
e2e_expect_grep "a second brg40_open is refused with -22" "$P" '^second_open=-22 null=1$'
e2e_expect_grep "sense 3/80/04 gives -109" "$P" '^led_sense_3_80_04=-109$'
e2e_expect_grep "sense 3/80/09 gives 3" "$P" '^gpo_sense_3_80_09=3$'
e2e_expect_grep "sense key 5 gives -400" "$P" '^pullup_sense_5=-400$'
e2e_expect_grep "a request failing with ERROR_NOT_READY gives 21" "$P" '^bus_reset_oserror_21=21$'
e2e_expect_grep "the next request succeeds: no stale sense leaks" "$P" '^led_after=0$'
e2e_expect_grep "a failed version read gives 31 and FF.FF" "$P" '^version_oserror_31=31 FF\.FF$'
e2e_expect_grep "the version read then succeeds" "$P" '^version=0 1\.04$'
e2e_expect_grep "the slave mode is entered" "$P" '^slave_mode=0$'
e2e_expect_grep "the I2C slave worker delivers the 5 waiting bytes by callback" "$P" '^slave_callback=5 0102030405$'
e2e_expect_grep "commands of the caller succeed while the worker polls" "$P" '^led_while_worker=0$'
e2e_expect_grep "the SPI slave worker posts the 3 waiting bytes to the window" "$P" '^slave_message=3 0A0B0C$'
e2e_expect_grep "brg40_close returns 0 and brg40_open works again" "$P" '^reopen=0$'
e2e_ctl transcript 3 >"$W/probe.transcript"
e2e_check "every request of the library arrived in a zeroed block" \
    bash -c "grep -q 'clean=1' '$W/probe.transcript' && ! grep -q 'clean=0' '$W/probe.transcript'"

# --- a worker outlives FreeLibrary by the application -------------------------------------------
e2e_wine unload "$app/unload_probe.exe" "$(e2e_winpath "$app/Brg40Firmup_x64.dll")"
U=$W/unload.out
e2e_expect_grep "the worker started in slave mode" "$U" '^read_slave=0$'
e2e_expect_grep "freed while the worker polls, the library stays mapped" "$U" '^held=1$'
e2e_expect_grep "the process lives through the worker's next poll" "$U" '^alive=1$'
e2e_expect_grep "the library goes once the worker has ended" "$U" '^released=1$'

e2e_expect_eq "the model found no malformed request" "$(e2e_ctl protocol-errors 3)" ""
e2e_expect_eq "the bridge found no malformed block" "$(e2e_ctl bridge-errors)" ""
e2e_end
