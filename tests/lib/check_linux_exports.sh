#!/usr/bin/env bash
# The dynamic symbols libbrg40firmup.so defines are exactly the functions the Windows export
# table names.
#   check_linux_exports.sh LIBRARY DEF_FILE
set -euo pipefail
lib=$1
def=$2
expected=$(sed -nE 's/^[[:space:]]+(brg40_[a-z0-9_]+)[[:space:]]+@[0-9]+.*/\1/p' "$def" | sort)
actual=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TtWw]$/ {print $3}' | sed 's/@.*//' | sort)
if [[ "$expected" != "$actual" ]]; then
    echo "exports differ from $def:"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi
echo "$(wc -l <<<"$actual") functions exported, as the export table says"
soname=$(objdump -p "$lib" | awk '$1 == "SONAME" {print $2}')
[[ "$soname" == "libbrg40firmup.so.1" ]] || { echo "SONAME is '$soname'"; exit 1; }
echo "SONAME $soname"
