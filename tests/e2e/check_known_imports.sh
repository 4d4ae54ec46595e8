#!/usr/bin/env bash
# Checks that a built binary imports at load time only the system's known DLLs (which Windows
# always takes from the system folder) and the DLLs named on the command line (ours). Any other
# system DLL must be bound at run time from the system folder, or a copy planted beside the
# program would be loaded instead.
# Usage: check_known_imports.sh BINARY OBJDUMP [OWN_DLL...]
set -euo pipefail
binary=$1
objdump=$2
shift 2
own=("$@")

# HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs of Windows 10 and 11.
known="advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt
normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32"

fail=0
while read -r name; do
    lower=${name,,}
    base=${lower%.dll}
    allowed=0
    for k in $known; do [[ $base == "$k" ]] && allowed=1; done
    for o in "${own[@]}"; do [[ $lower == "${o,,}" ]] && allowed=1; done
    if ((allowed)); then
        echo "ok: $name"
    else
        echo "FAIL: $name is imported at load time but is not a known DLL"
        fail=1
    fi
done < <("$objdump" -p "$binary" | awk '/DLL Name:/{print $3}')
exit $fail
