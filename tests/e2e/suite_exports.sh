#!/usr/bin/env bash
# The export table of the built DLL, read from the binary: its name, the names with the fixed
# ordinals of the .def (the 29 at 1 to 29, additions after them; nothing more, nothing less, each
# also reachable by ordinal), and imports from system DLLs only. No Wine needed.
#   suite_exports.sh DLL DEF
set -uo pipefail
dll=$1
def=$2
E2E_NAME=dll_exports
# shellcheck source=harness.sh
source "$(dirname "$0")/harness.sh"

objdump=x86_64-w64-mingw32-objdump
command -v "$objdump" >/dev/null || objdump=objdump
dump=$(mktemp)
trap 'rm -f "$dump"' EXIT
"$objdump" -p "$dll" >"$dump" || e2e_die "objdump cannot read $dll"

e2e_expect_eq "the export directory names the DLL" \
    "$(awk '/^Name[ \t]/ {print $3; exit}' "$dump")" "Brg40Firmup_x64.dll"
base=$(awk '/^Ordinal Base/ {print $3; exit}' "$dump")
e2e_expect_eq "ordinals start at 1" "$base" "1"
# "name ordinal" pairs from the .def and from the binary's name table, sorted.
expected=$(sed -nE 's/^[[:space:]]*([A-Za-z0-9_]+)[[:space:]]+@([0-9]+).*/\1 \2/p' "$def" | sort)
count=$(grep -c . <<<"$expected")
e2e_expect_eq "the .def numbers its exports 1 to $count without a gap, the 29 first" \
    "$(awk '{print $2}' <<<"$expected" | sort -n | tr '\n' ' ')" "$(seq 1 "$count" | tr '\n' ' ')"
e2e_expect_eq "$count entries in the address table" \
    "$(awk '/^[ \t]*Export Address Table[ \t]+[0-9a-f]+$/ {print $4; exit}' "$dump")" "$(printf '%08x' "$count")"
actual=$(awk -v base="${base:-1}" '
    /^\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
    on && /^[ \t]*$/ {on = 0}
    on { gsub(/[\[\]]/, " "); print $2, $1 + base }' "$dump" | sort)
e2e_expect_eq "every name with its fixed ordinal, and no other export" "$actual" "$expected"
e2e_expect_eq "every ordinal leads to code in the DLL (none forwarded)" \
    "$(sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' "$dump" | grep -c 'Export RVA')" "$count"
e2e_expect_eq "the first 29 keep their names" "$(grep -E ' ([1-9]|1[0-9]|2[0-9])$' <<<"$expected" | grep -c .)" "29"

imports=$(awk '/DLL Name:/ {print tolower($3)}' "$dump" | sort -u)
others=$(grep -vE '^(kernel32|user32|gdi32|advapi32|version|msvcrt|ucrtbase|ntdll|shell32|ole32)\.dll$|^api-ms-win-.*\.dll$' <<<"$imports")
echo "      imports: $(tr '\n' ' ' <<<"$imports")"
e2e_expect_eq "nothing but system DLLs is imported" "$others" ""
e2e_end
