#!/usr/bin/env bash
# The Linux release packages as a user gets them: the tarball (tar) and the .deb (dpkg-deb -x),
# each unpacked; their contents; an example built from each through pkg-config and one through
# find_package; both run against the simulated converter in the umockdev testbed; and the Python
# package installed with pip from the tarball's sources. Everything comes from one build: its
# cpack configuration, its simulator and bridge.
#   suite_package_linux.sh CPACK_CONFIG SIM_BIN_DIR WORK_ROOT ASAN_RUNTIME|""
# ASAN_RUNTIME: the sanitizer runtime of a build with ASan, preloaded into the programs that load
# its library without having it themselves.
set -uo pipefail
cpack_config=$1
sim_bin=$2
work_root=$3
asan_runtime=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/linux_session.sh
source "$here/../support/linux_session.sh"

linux_begin linux_package "$work_root" "$sim_bin"
W=$E2E_WORK

packaged_run() {  # packaged_run NAME COMMAND...: linux_run of a program that loads the packaged library
    if [[ -n $asan_runtime ]]; then
        LD_PRELOAD=$asan_runtime ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0 linux_run "$@"
    else
        linux_run "$@"
    fi
}

cpack --config "$cpack_config" -B "$W/cpack" >"$W/cpack.out" 2>&1
e2e_expect_eq "cpack makes the packages" "$?" "0"
tarball=$(ls "$W"/cpack/brg40-*-linux-x86_64.tar.gz 2>/dev/null | head -n1)
deb=$(ls "$W"/cpack/brg40_*_amd64.deb 2>/dev/null | head -n1)
e2e_check "a tarball brg40-<version>-linux-x86_64.tar.gz" test -f "$tarball"
e2e_check "a Debian package brg40_<version>_amd64.deb" test -f "$deb"
mkdir -p "$W/tgz" "$W/deb"
tar -xzf "$tarball" -C "$W/tgz"
dpkg-deb -x "$deb" "$W/deb"
e2e_expect_eq "the .deb is named brg40 and needs the C library" \
    "$(dpkg-deb -f "$deb" Package; dpkg-deb -f "$deb" Depends | grep -o 'libc6' | head -n1)" "brg40
libc6"
e2e_check "the .deb installs the udev rule where udev reads packaged rules" test -f "$W/deb/usr/lib/udev/rules.d/70-brg40.rules"

e2e_sim_started=0
for kind in tgz deb; do
    if [[ $kind == tgz ]]; then root=$(ls -d "$W"/tgz/brg40-*-linux-x86_64 | head -n1); else root=$W/deb/usr; fi
    files=$(cd "$root" && find . \( -type f -o -type l \) | LC_ALL=C sort)
    for f in include/brg40firmup.h include/brg40firmup_status.h include/brg40firmup.hpp \
        lib/libbrg40firmup.so lib/libbrg40firmup.so.1 lib/pkgconfig/brg40firmup.pc \
        lib/cmake/Brg40Firmup/Brg40FirmupConfig.cmake lib/cmake/Brg40Firmup/Brg40FirmupConfigVersion.cmake \
        lib/cmake/Brg40Firmup/Brg40FirmupTargets.cmake lib/udev/rules.d/70-brg40.rules bin/brg40 \
        share/brg40/python/pyproject.toml share/brg40/python/brg40/__init__.py share/brg40/examples/list_converters.c \
        share/brg40/examples/python/i2c_scan.py; do
        e2e_check "$kind holds $f" grep -qx "./$f" <<<"$files"
    done
    e2e_check "$kind ships no Python tests or caches" bash -c "! grep -Eq 'python/tests|__pycache__' <<<'$files'"
    e2e_expect_eq "$kind: the library's soname is libbrg40firmup.so.1" \
        "$(objdump -p "$root/lib/libbrg40firmup.so.1" | sed -nE 's/^\s*SONAME\s+//p')" "libbrg40firmup.so.1"

    # pkg-config: the .pc file finds its prefix from where it lies.
    export PKG_CONFIG_PATH=$root/lib/pkgconfig
    e2e_expect_eq "$kind: pkg-config places headers and library in the unpacked package" \
        "$(realpath "$(pkg-config --variable=includedir brg40firmup)" "$(pkg-config --variable=libdir brg40firmup)")" \
        "$(realpath "$root/include" "$root/lib")"
    cc -std=c11 -Wall -Wextra -Werror "$root/share/brg40/examples/list_converters.c" \
        $(pkg-config --cflags --libs brg40firmup) -o "$W/list_converters_$kind" >"$W/build_pc_$kind.out" 2>&1
    e2e_expect_eq "$kind: a C example builds through pkg-config" "$?" "0"
    unset PKG_CONFIG_PATH

    # find_package: the imported target carries the include folder and the library.
    cmake -S "$here/consumer" -B "$W/consumer_$kind" -G Ninja -DCMAKE_PREFIX_PATH="$root" \
        -DBRG40_EXAMPLES_DIR="$root/share/brg40/examples" >"$W/build_cmake_$kind.out" 2>&1 &&
        cmake --build "$W/consumer_$kind" >>"$W/build_cmake_$kind.out" 2>&1
    e2e_expect_eq "$kind: a C++ example builds through find_package(Brg40Firmup)" "$?" "0"

    if ((e2e_sim_started == 0)); then
        linux_sim_start
        e2e_ctl attach 1 version=1.04 >/dev/null
        e2e_sim_started=1
    fi
    e2e_ctl transcript 1 clear >/dev/null
    LD_LIBRARY_PATH=$root/lib packaged_run "list_$kind" "$W/list_converters_$kind"
    e2e_expect_eq "$kind: the pkg-config build runs with the package's library" "$?" "0"
    e2e_expect_grep "$kind: and lists the converter with firmware 1.04" "$W/list_$kind.out" '^  Firmware version: 1\.04$'
    # The search reads what sysfs says of each node: the converter hears only the example's reads.
    e2e_expect_eq "$kind: the converter saw the version and hardware reads" \
        "$(e2e_ctl transcript 1 clear | sed -nE 's/^#[0-9]+ cdb=(..).*$/\1/p' | sort -u | tr '\n' ' ')" "DA DE "

    pattern=$(for ((i = 0; i < 8; i++)); do printf '%02X' $(((i * 37 + 11) & 255)); done)
    e2e_ctl set 1 eeprom "$pattern" >/dev/null
    packaged_run "dump_$kind" "$W/consumer_$kind/eeprom_backup_cpp" dump "$W/eeprom_$kind.bin" 8
    e2e_expect_eq "$kind: the find_package build (library found through its run path) saves the EEPROM" \
        "$(od -An -tx1 -v "$W/eeprom_$kind.bin" | tr -d ' \n' | tr a-f A-F)" "$pattern"
done

# The Python package from the tarball's sources, installed as the README says.
root=$(ls -d "$W"/tgz/brg40-*-linux-x86_64 | head -n1)
/usr/bin/python3 -m venv --system-site-packages "$W/venv" &&
    PIP_CONFIG_FILE=/dev/null PIP_NO_CACHE_DIR=1 "$W/venv/bin/pip" install --no-index --no-build-isolation "$root/share/brg40/python" >"$W/pip.out" 2>&1
e2e_expect_eq "pip installs the Python package without an index" "$?" "0"
BRG40_LIBRARY=$root/lib/libbrg40firmup.so.1 packaged_run py_list "$W/venv/bin/python" -I \
    "$root/share/brg40/examples/python/list_converters.py"
e2e_expect_eq "the installed package runs the Python list example" "$?" "0"
e2e_expect_grep "and finds converter 1 with firmware 1.04" "$W/py_list.out" '^  Firmware version: 1\.04$'

e2e_expect_eq "the model found no malformed request" "$(e2e_ctl protocol-errors 1)" ""
e2e_end
