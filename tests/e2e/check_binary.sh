#!/usr/bin/env bash
# Checks the built Brg40mFup.exe: it imports exactly ordinals 1, 4, 6 and 27 of
# Brg40Firmup_x64.dll and no function of it by name, and its manifest resource asks for
# requireAdministrator with uiAccess false.
# Usage: check_binary.sh EXE [OBJDUMP]
set -euo pipefail
exe=$1
objdump=${2:-x86_64-w64-mingw32-objdump}
objcopy=${objdump%objdump}objcopy
fail=0

# The import block of the library: from its "DLL Name" line to the next blank line.
headers=$("$objdump" -p "$exe")
block=$(awk '/DLL Name: Brg40Firmup_x64.dll/{on=1; next} on && /^[[:space:]]*$/{exit} on' <<<"$headers")
if [[ -z "$block" ]]; then
    echo "FAIL: no import of Brg40Firmup_x64.dll"
    exit 1
fi
# Ordinal imports show as 8000000000000NNN with "<none>" as their name; name imports show a name.
ordinals=$(for word in $(awk '/^[[:space:]]*8000000000000/{print $1}' <<<"$block"); do
    echo $((16#${word:8}))
done | sort -n | tr '\n' ' ')
names=$(awk 'NR > 1 && !/^[[:space:]]*8000000000000/ && NF > 0' <<<"$block")
echo "ordinals imported: $ordinals"
if [[ "$ordinals" != "1 4 6 27 " ]]; then
    echo "FAIL: expected ordinals 1 4 6 27"
    fail=1
fi
if [[ -n "$names" ]]; then
    echo "FAIL: imports by name:"
    echo "$names"
    fail=1
fi

# The manifest is plain UTF-8 text inside the resource section.
rsrc=$(mktemp)
trap 'rm -f "$rsrc"' EXIT
"$objcopy" -O binary --only-section=.rsrc "$exe" "$rsrc"
manifest=$(tr -d '\000' <"$rsrc" | grep -ao '<requestedExecutionLevel[^>]*>' || true)
echo "manifest: $manifest"
if ! grep -q 'level="requireAdministrator"' <<<"$manifest" || ! grep -q 'uiAccess="false"' <<<"$manifest"; then
    echo "FAIL: the manifest does not ask for requireAdministrator with uiAccess false"
    fail=1
fi
exit $fail
