#!/usr/bin/env bash
# The Windows release zip as a user gets it: its contents (and no stand-in driver file), an
# example built from it with MinGW, a program built as an MSVC one (clang in MSVC mode, lld-link,
# the MSVC import library, no MSVC runtime), and both run against a simulated converter.
#   suite_package.sh CPACK_CONFIG MINGW_GCC MINGW_GXX CLANG LLD_LINK OBJDUMP
set -uo pipefail
cpack_config=$1
gcc=$2
gxx=$3
clang=$4
lld_link=$5
objdump=$6
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../harness.sh
source "$here/../harness.sh"

e2e_begin wine_package
W=$E2E_WORK

# --- the zip ----------------------------------------------------------------------------------------
cpack --config "$cpack_config" -B "$W/cpack" >"$W/cpack.out" 2>&1
e2e_expect_eq "cpack makes the zip" "$?" "0"
zip=$(ls "$W"/cpack/brg40-*-win64.zip 2>/dev/null | head -n1)
mkdir -p "$W/unpacked"
(cd "$W/unpacked" && unzip -q "$zip")
pkg=$(ls -d "$W"/unpacked/brg40-*-win64 2>/dev/null | head -n1)
e2e_check "the zip holds one top folder brg40-<version>-win64" test -d "$pkg"
e2e_expect_eq "it holds the programs, the library, headers, both import libraries, examples and the README" \
    "$(cd "$pkg" && find . -type f | LC_ALL=C sort | tr '\n' ' ')" \
    "./Brg40Firmup_x64.dll ./Brg40mFup.exe ./README.md ./brg40.exe ./examples/eeprom_backup.c ./examples/eeprom_backup.cpp \
./examples/i2c_scan.c ./examples/i2c_scan.cpp ./examples/list_converters.c ./examples/list_converters.cpp \
./examples/slave_receive.c ./examples/slave_receive.cpp ./examples/spi_transfer.c ./examples/spi_transfer.cpp \
./include/brg40firmup.h ./include/brg40firmup.hpp ./include/brg40firmup_status.h ./lib/Brg40Firmup_x64.lib \
./lib/libBrg40Firmup_x64.dll.a "
e2e_check "no setup information file ships (the stand-in driver stays with the simulator)" \
    bash -c "! unzip -l '$zip' | grep -qi '\.inf'"

# --- built from the package --------------------------------------------------------------------------
mkdir -p "$W/run"
cp "$pkg/Brg40Firmup_x64.dll" "$W/run/"
"$gcc" -Wall -Wextra -Werror -I"$pkg/include" "$pkg/examples/list_converters.c" -L"$pkg/lib" -lBrg40Firmup_x64 \
    -o "$W/run/list_converters.exe" >"$W/build_c.out" 2>&1
e2e_expect_eq "a C example builds with MinGW against the package" "$?" "0"
"$gxx" -std=c++17 -Wall -Wextra -Werror -static -I"$pkg/include" "$pkg/examples/eeprom_backup.cpp" \
    -L"$pkg/lib" -lBrg40Firmup_x64 -o "$W/run/eeprom_backup_cpp.exe" >"$W/build_cpp.out" 2>&1
e2e_expect_eq "a C++ example builds with MinGW against the package" "$?" "0"
"$clang" --target=x86_64-pc-windows-msvc -ffreestanding -Wall -Wextra -Werror -I"$pkg/include" \
    -c "$here/msvc_probe.c" -o "$W/msvc_probe.obj" >"$W/build_msvc.out" 2>&1 &&
    "$lld_link" /nologo /entry:mainCRTStartup /subsystem:console /nodefaultlib "$W/msvc_probe.obj" \
        "$pkg/lib/Brg40Firmup_x64.lib" /out:"$W/run/msvc_probe.exe" >>"$W/build_msvc.out" 2>&1
e2e_expect_eq "clang in MSVC mode links a program with lld-link against Brg40Firmup_x64.lib" "$?" "0"
e2e_expect_eq "that program imports from the library alone, by name" \
    "$("$objdump" -p "$W/run/msvc_probe.exe" | sed -nE 's/^\s*DLL Name: (.*)$/\1/p; s/^\s+[0-9a-f]+\s+[0-9]+\s+(brg40_[a-z_]+)$/\1/p' | sort | tr '\n' ' ')" \
    "Brg40Firmup_x64.dll brg40_close brg40_find_device brg40_get_fw_version brg40_open_ex "

# --- run against the simulated converter ---------------------------------------------------------
e2e_prefix
e2e_sim_start
e2e_ctl attach 3 version=1.04 >/dev/null
e2e_wine list "$W/run/list_converters.exe"
e2e_expect_eq "the MinGW-built C example runs beside the package's DLL" "$?" "0"
e2e_expect_grep "and lists the converter" "$W/list.out" '^Converters found: 1 \(LPT3\)$'
e2e_ctl set 3 eeprom 0123456789ABCDEF >/dev/null
e2e_wine dump "$W/run/eeprom_backup_cpp.exe" dump "$(e2e_winpath "$W/eeprom.bin")" 8
e2e_expect_eq "the MinGW-built C++ example saves the EEPROM" "$(od -An -tx1 -v "$W/eeprom.bin" | tr -d ' \n')" \
    "0123456789abcdef"
e2e_ctl transcript 3 clear >/dev/null
e2e_wine msvc "$W/run/msvc_probe.exe"
e2e_expect_eq "the MSVC-mode program reads the firmware version 1.04 through the DLL" "$?" "0"
e2e_expect_eq "the converter saw its search and version read" \
    "$(e2e_ctl transcript 3 | sed -nE 's/^#[0-9]+ cdb=(..).*$/\1/p' | tr '\n' ' ')" "12 DA "
e2e_end
