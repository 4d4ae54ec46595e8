#!/usr/bin/env bash
# The Linux release packages as a user gets them: the tarball (tar) and the Debian packages
# libbrg40firmup1, libbrg40firmup-dev, brg40 and python3-brg40 (dpkg-deb -x, all four into one
# root, as if installed), each unpacked; lintian's verdict on the .debs; their control data and
# contents; an example built from each layout through pkg-config and one through find_package; both
# run against the simulated converter in the umockdev testbed; the Python package installed with
# pip from the tarball's sources, and the .deb's module as Debian's python3 finds it.
#   suite_package_linux.sh CPACK_CONFIG SIM_BIN_DIR WORK_ROOT ASAN_RUNTIME|""
# CPACK_CONFIG and SIM_BIN_DIR (simulator and bridge) come from one build: the native preset's,
# whose packages are the release ones, or one with ASan, whose sanitizer runtime ASAN_RUNTIME is
# then preloaded into the programs that load its library or the testbed's preload without having
# it themselves. lintian judges the packages only when they are the release ones (no ASAN_RUNTIME).
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
e2e_check "a tarball brg40-<version>-linux-x86_64.tar.gz" test -f "$tarball"
declare -A deb=()
for package in libbrg40firmup1 libbrg40firmup-dev brg40 python3-brg40; do
    deb[$package]=$(ls "$W"/cpack/"${package}"_*.deb 2>/dev/null | head -n1)
done
e2e_expect_eq "one Debian package per part, the Python one for all architectures" \
    "$(cd "$W/cpack" && ls ./*.deb | sed -E 's|^\./||; s/_[0-9][^_]*-[0-9]+_/_V_/')" "brg40_V_amd64.deb
libbrg40firmup-dev_V_amd64.deb
libbrg40firmup1_V_amd64.deb
python3-brg40_V_all.deb"

if [[ -z $asan_runtime ]]; then
    lintian --fail-on error,warning "$W"/cpack/*.deb >"$W/lintian.out" 2>"$W/lintian.err"
    status=$?
    e2e_expect_eq "lintian finds no error and no warning in the .debs" "$status:$(cat "$W/lintian.out")" "0:"
else
    e2e_log "lintian judges the release packages only (these carry the sanitizers)"
fi

field() { dpkg-deb -f "${deb[$1]}" "$2"; }
version=$(field brg40 Version)
e2e_expect_eq "the -dev package and brg40 need exactly this build of the library" \
    "$(field libbrg40firmup-dev Depends | grep -o "libbrg40firmup1 (= $version)")
$(field brg40 Depends | grep -oE "libbrg40firmup1 \(= $version\)|libc6|libusb-1.0-0" | tr '\n' ' ')" \
    "libbrg40firmup1 (= $version)
libbrg40firmup1 (= $version) libc6 libusb-1.0-0 "
e2e_check "python3-brg40 needs the library and Debian's python3" \
    grep -qE '^python3:any .*, libbrg40firmup1 \(>= ' <<<"$(field python3-brg40 Depends)"
mkdir -p "$W/control"
dpkg-deb -e "${deb[libbrg40firmup1]}" "$W/control/libbrg40firmup1"
dpkg-deb -e "${deb[brg40]}" "$W/control/brg40"
e2e_check "libbrg40firmup1 runs ldconfig by trigger" \
    grep -qx 'activate-noawait ldconfig' "$W/control/libbrg40firmup1/triggers"
e2e_check "brg40's postinst is the one the udev test runs" cmp "$W/control/brg40/postinst" \
    "$here/../../packaging/deb/brg40/postinst"

mkdir -p "$W/tgz" "$W/deb"
tar -xzf "$tarball" -C "$W/tgz"
for package in "${!deb[@]}"; do
    dpkg-deb -x "${deb[$package]}" "$W/deb"
done
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
e2e_expect_eq "the packages' version is the project's (the tarball's) and their changelog's newest entry's" \
    "$(basename "$tarball" -linux-x86_64.tar.gz)-${version#*-} $version" \
    "brg40-$version $(zcat "$W/deb/usr/share/doc/brg40/changelog.Debian.gz" | sed -nE '1s/^brg40 \(([^)]*)\).*/\1/p')"
# The symbols file lists exactly what the library exports (dpkg-gensymbols fails on a difference).
mkdir -p "$W/symbols"
(cd "$W/symbols" && dpkg-gensymbols -plibbrg40firmup1 -v"$version" -P"$W/deb" \
    -I"$W/control/libbrg40firmup1/symbols" -c4 -O"$W/symbols/generated") >"$W/symbols.out" 2>&1
e2e_expect_eq "the symbols file lists every export of the library, and nothing else" "$?" "0"

# Each .deb's files, by package.
contents() { dpkg-deb -c "${deb[$1]}" | awk '{print $6}' | sed 's|^\./||' | grep -v '/$' | LC_ALL=C sort; }
has() {  # has PACKAGE PATH...: the package ships each path
    local package=$1 f list
    list=$(contents "$package")
    shift
    for f; do
        e2e_check "$package ships /$f" grep -qx "$f" <<<"$list"
    done
}
docs() { echo "usr/share/doc/$1/copyright usr/share/doc/$1/changelog.Debian.gz"; }
# shellcheck disable=SC2046
{
    has libbrg40firmup1 usr/lib/$multiarch/libbrg40firmup.so.1 $(docs libbrg40firmup1)
    has libbrg40firmup-dev usr/lib/$multiarch/libbrg40firmup.so usr/include/brg40firmup.h usr/include/brg40firmup.hpp \
        usr/include/brg40firmup_status.h usr/lib/$multiarch/pkgconfig/brg40firmup.pc \
        usr/lib/$multiarch/cmake/Brg40Firmup/Brg40FirmupConfig.cmake \
        usr/share/doc/libbrg40firmup-dev/examples/list_converters.c $(docs libbrg40firmup-dev)
    has brg40 usr/bin/brg40 usr/share/man/man1/brg40.1.gz "$(pkg-config --variable=udevdir udev | sed 's|^/||')/rules.d/70-brg40.rules" \
        usr/share/brg40/71-brg40-plugdev.rules $(docs brg40)
    has python3-brg40 usr/lib/python3/dist-packages/brg40/__init__.py usr/lib/python3/dist-packages/brg40/_loader.py \
        usr/share/doc/python3-brg40/examples/list_converters.py $(docs python3-brg40)
}
e2e_expect_eq "the library is in libbrg40firmup1 alone, the group rule is not where udev reads it" \
    "$(for p in libbrg40firmup-dev brg40 python3-brg40; do contents "$p"; done | grep -E 'libbrg40firmup\.so\.|rules\.d/71-')" ""

e2e_sim_started=0
for kind in tgz deb; do
    if [[ $kind == tgz ]]; then
        root=$(ls -d "$W"/tgz/brg40-*-linux-x86_64 | head -n1)
        libdir=lib
        examples=$root/share/brg40/examples
        files=$(cd "$root" && find . \( -type f -o -type l \) | LC_ALL=C sort)
        for f in include/brg40firmup.h include/brg40firmup_status.h include/brg40firmup.hpp \
            lib/libbrg40firmup.so lib/libbrg40firmup.so.1 lib/pkgconfig/brg40firmup.pc \
            lib/cmake/Brg40Firmup/Brg40FirmupConfig.cmake lib/cmake/Brg40Firmup/Brg40FirmupConfigVersion.cmake \
            lib/cmake/Brg40Firmup/Brg40FirmupTargets.cmake lib/udev/rules.d/70-brg40.rules bin/brg40 \
            share/man/man1/brg40.1.gz share/brg40/71-brg40-plugdev.rules \
            share/brg40/python/pyproject.toml share/brg40/python/brg40/__init__.py share/brg40/examples/list_converters.c \
            share/brg40/examples/python/i2c_scan.py; do
            e2e_check "tgz holds $f" grep -qx "./$f" <<<"$files"
        done
        e2e_check "tgz ships no Python tests, caches or Debian files" \
            bash -c "! grep -Eq 'python/tests|__pycache__|\.gitignore|changelog\.Debian|lintian' <<<'$files'"
    else
        root=$W/deb/usr
        libdir=lib/$multiarch
        examples=$root/share/doc/libbrg40firmup-dev/examples
    fi
    e2e_expect_eq "$kind: the library's soname is libbrg40firmup.so.1" \
        "$(objdump -p "$root/$libdir/libbrg40firmup.so.1" | sed -nE 's/^\s*SONAME\s+//p')" "libbrg40firmup.so.1"

    # pkg-config: the .pc file finds its prefix from where it lies.
    export PKG_CONFIG_PATH=$root/$libdir/pkgconfig
    e2e_expect_eq "$kind: pkg-config places headers and library in the unpacked package" \
        "$(realpath "$(pkg-config --variable=includedir brg40firmup)" "$(pkg-config --variable=libdir brg40firmup)")" \
        "$(realpath "$root/include" "$root/$libdir")"
    cc -std=c11 -Wall -Wextra -Werror "$examples/list_converters.c" \
        $(pkg-config --cflags --libs brg40firmup) -o "$W/list_converters_$kind" >"$W/build_pc_$kind.out" 2>&1
    e2e_expect_eq "$kind: a C example builds through pkg-config" "$?" "0"
    unset PKG_CONFIG_PATH

    # find_package: the imported target carries the include folder and the library.
    cmake -S "$here/consumer" -B "$W/consumer_$kind" -G Ninja -DCMAKE_PREFIX_PATH="$root" \
        -DBRG40_EXAMPLES_DIR="$examples" >"$W/build_cmake_$kind.out" 2>&1 &&
        cmake --build "$W/consumer_$kind" >>"$W/build_cmake_$kind.out" 2>&1
    e2e_expect_eq "$kind: a C++ example builds through find_package(Brg40Firmup)" "$?" "0"

    if ((e2e_sim_started == 0)); then
        linux_sim_start
        e2e_ctl attach 1 version=1.04 >/dev/null
        e2e_sim_started=1
    fi
    e2e_ctl transcript 1 clear >/dev/null
    LD_LIBRARY_PATH=$root/$libdir packaged_run "list_$kind" "$W/list_converters_$kind"
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

# python3-brg40 as installed: Debian's python3 finds the module in dist-packages, and the module
# finds libbrg40firmup.so.1 on the dynamic linker's path (LD_LIBRARY_PATH stands in for the
# ld.so cache that libbrg40firmup1's trigger updates).
PYTHONPATH=$W/deb/usr/lib/python3/dist-packages LD_LIBRARY_PATH=$W/deb/usr/lib/$multiarch PYTHONDONTWRITEBYTECODE=1 \
    packaged_run py_deb_list /usr/bin/python3 "$W/deb/usr/share/doc/python3-brg40/examples/list_converters.py"
e2e_expect_eq "python3-brg40 runs its list example with libbrg40firmup1's library" "$?" "0"
e2e_expect_grep "and finds converter 1 with firmware 1.04" "$W/py_deb_list.out" '^  Firmware version: 1\.04$'

e2e_expect_eq "the model found no malformed request" "$(e2e_ctl protocol-errors 1)" ""
e2e_end
