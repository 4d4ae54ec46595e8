#!/usr/bin/env bash
# brg40 spiflash and i2c dump on Linux against the simulated converter's 25-series flash and I2C
# memory (umockdev testbed): a 1 MiB image written and verified with the chip's SFDP table and with
# the built-in table, a rewrite that touches only the sectors that changed, an unknown part, block
# protection with and without --unprotect, a flash that stops answering, 4-byte addresses on 32 MiB.
#   suite_linux_spiflash.sh BRG40 SIM_BIN_DIR WORK_ROOT
set -uo pipefail
cli=$1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../support/linux_session.sh
source "$here/../../support/linux_session.sh"
command -v jq >/dev/null || e2e_die "jq is missing: run scripts/install-deps"

linux_begin linux_spiflash "$3" "$2"
W=$E2E_WORK
export ASAN_OPTIONS=${ASAN_OPTIONS:-verify_asan_link_order=0}  # ASan's runtime comes after umockdev's preload
# b NAME ARGS...: brg40 in the testbed; exit status in $rc, output in NAME.out / NAME.err.
b() {
    local name=$1
    shift
    linux_run "$name" timeout 300 "$cli" "$@"
    rc=$?
}
result() { jq -c "select(.event == \"result\") | $2" <"$W/$1.out"; }
chip() { e2e_ctl spiflash 1 "$@" | tail -n 1; }
count() { chip | sed -nE "s/.* $1=([0-9]+).*/\1/p"; }
# image FILE SEED [CHANGED_SECTOR...]: 1 MiB of seeded bytes; in each sector named, one byte inverted.
image() {
    python3 - "$@" <<'PY'
import random, sys
path, seed, changed = sys.argv[1], int(sys.argv[2]), [int(s) for s in sys.argv[3:]]
data = bytearray(random.Random(seed).randbytes(1 << 20))
for sector in changed:
    data[sector * 4096 + 123] ^= 0xFF
open(path, "wb").write(data)
PY
}

linux_sim_start
e2e_ctl attach 1 version=1.04 >/dev/null
e2e_ctl record 1 off >/dev/null  # megabytes of transfers: no transcript
e2e_wait_until 15 "$LINUX_BRIDGE_BIN" "$cli" info >/dev/null 2>&1 || e2e_die "the converter did not appear in the testbed"
image "$W/a.bin" 1
image "$W/a3.bin" 1 7 130 201  # 3 of 256 sectors differ
image "$W/b.bin" 2

# --- with the chip's SFDP table ---------------------------------------------------------------------
chip size=1 page-us=50 sector-us=1000 block-us=3000 >/dev/null
b id --json spiflash id
e2e_expect_eq "id: JEDEC ID, size, erase types and their source" \
    "$rc $(result id '[.jedec_id, .size, (.erase | map(.opcode)), .source]')" \
    '0 ["EF 40 14",1048576,["0x20","0x52","0xD8"],"SFDP 1.6"]'
b write --json spiflash write "$W/a.bin"
e2e_expect_eq "write 1 MiB: exit 0, every page programmed, verified" \
    "$rc $(result write '[.pages_programmed, .sectors_erased, .verified]')" "0 [4096,0,true]"
e2e_ctl spiflash-save 1 "$W/chip_a.bin" >/dev/null
e2e_check "  ... the chip holds the image" cmp "$W/a.bin" "$W/chip_a.bin"
e2e_expect_eq "  ... and the flash ignored no command (write enable, busy, frame lengths)" "$(count ignored)" 0
b verify spiflash verify "$W/a.bin"
e2e_expect_eq "verify of the same image: exit 0" "$rc" 0

before=$(count erase4k)
b rewrite --json spiflash write "$W/a3.bin"
e2e_expect_eq "a rewrite where 3 sectors differ erases those 3 and leaves 253 alone" \
    "$rc $(result rewrite '[.sectors_erased, .sectors_unchanged, .pages_programmed]')" "0 [3,253,48]"
e2e_expect_eq "  ... three 4 KiB erases reached the chip" "$(($(count erase4k) - before))" 3
e2e_expect_eq "  ... phases in order" "$(jq -r 'select(.event == "phase") | .phase' <"$W/rewrite.out" | tr '\n' ' ')" \
    "read erase write verify "
b differs --json spiflash verify "$W/a.bin"
e2e_expect_eq "verify of the older image: exit 5 at the first changed sector" \
    "$rc $(result differs '[.first_difference, .differing_bytes]')" '5 ["0x00707B",3]'

# --- without SFDP: the built-in table; an unknown part needs --size -------------------------------------
chip size=1 sfdp=0 page-us=50 sector-us=1000 block-us=3000 >/dev/null
b builtin --json spiflash write "$W/b.bin"
e2e_expect_eq "write 1 MiB without SFDP: exit 0 from the built-in table, verified" \
    "$rc $(result builtin '[.source, .verified]')" '0 ["built-in table",true]'
b builtin_read spiflash read "$W/b_back.bin"
e2e_check "  ... read back, it is the image" cmp "$W/b.bin" "$W/b_back.bin"
chip id=123456 >/dev/null
b unknown spiflash id
e2e_expect_eq "an unknown part without SFDP: exit 2" "$rc" 2
e2e_expect_grep "  ... asks for --size" "$W/unknown.err" '^brg40: unknown flash 12 34 56 without SFDP: give its size with --size'
b sized --json spiflash id --size 1M
e2e_expect_eq "  ... with --size it is used" "$rc $(result sized '[.size, .source]')" '0 [1048576,"--size"]'

# --- block protection ------------------------------------------------------------------------------------
chip size=1 status=0x1C >/dev/null
b locked spiflash write "$W/a.bin"
e2e_expect_eq "a protected chip: exit 1, nothing programmed or erased" \
    "$rc $(count programs) $(count erase4k) $(count erase64k)" "1 0 0 0"
e2e_expect_grep "  ... says it is write-protected" "$W/locked.err" '^brg40: the flash is write-protected: its status register 0x1C has block-protect bits set'
b unlocked --json spiflash write "$W/a.bin" --unprotect
e2e_expect_eq "--unprotect clears the bits first and writes" "$rc $(result unlocked .verified) $(chip | grep -o 'status=..')" \
    "0 true status=00"

# --- a flash that stops answering in the middle of the write ---------------------------------------------
chip size=1 mute-after=1500 >/dev/null
b mute --json spiflash write "$W/a.bin"
e2e_expect_eq "the flash stops answering: exit 1, in the write phase, at a page" \
    "$rc $(result mute '[.phase, .operation, (.stopped_at | test("^0x[0-9A-F]{4}00$"))]')" '1 ["write","page program",true]'
e2e_expect_grep "  ... the message says where it stopped" <(result mute .error) \
    'the flash stopped at 0x[0-9A-F]+ in the page program \(write\): still busy after [0-9.]+ s \(status 0xFF: no answer\)'
chip mute=1 >/dev/null
b silent spiflash id
e2e_expect_eq "no flash answers at all: exit 1" "$rc $(cat "$W/silent.err")" "1 brg40: no SPI flash answers (JEDEC ID FF FF FF)"

# --- 32 MiB: 4-byte addresses --------------------------------------------------------------------------------
chip size=32 >/dev/null
head -c 262144 "$W/b.bin" >"$W/top.bin"
b top --json spiflash write "$W/top.bin" --offset 0x1FC0000
e2e_expect_eq "32 MiB: a write to the last 256 KiB, verified" "$rc $(result top '[.offset, .verified]')" '0 ["0x1FC0000",true]'
e2e_ctl spiflash-save 1 "$W/chip32.bin" >/dev/null
e2e_check "  ... it landed there (4-byte addresses)" cmp -i 0x1FC0000:0 -n 262144 "$W/chip32.bin" "$W/top.bin"
chip size=32 sfdp-4byte=0 >/dev/null  # no 4-byte opcodes listed: the chip's 4-byte mode instead
b mode4 --json spiflash write "$W/top.bin" --offset 0x1FC0000
e2e_expect_eq "  ... the same through the 4-byte mode (B7h), left again at the end" \
    "$rc $(result mode4 .verified) $(chip | grep -o 'addr4=.')" "0 true addr4=0"
e2e_ctl spiflash-save 1 "$W/chip32.bin" >/dev/null
e2e_check "  ... it landed there" cmp -i 0x1FC0000:0 -n 262144 "$W/chip32.bin" "$W/top.bin"
b trace --trace spiflash id
e2e_expect_grep "--trace: every frame with its status" "$W/trace.err" '^\[ *[0-9.]+\] < brg40_spi_transmit_master -> 0  FF EF 40 19$'

# --- i2c dump ---------------------------------------------------------------------------------------------
e2e_ctl i2c-memory 1 0x50 4E4B5600017F80FF41 >/dev/null
b dump i2c dump 0x50
e2e_expect_eq "i2c dump: the header and the first row as i2cdump prints them" "$rc $(head -n 2 "$W/dump.out" | tr '\n' '|')" \
    "0      0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef|00: 4e 4b 56 00 01 7f 80 ff 41 ff ff ff ff ff ff ff    NKV.???.A.......|"
e2e_end
