#!/usr/bin/env bash
# The udev rule as Debian's udev reads it: `udevadm test` runs every rule of the system plus ours
# against an emulated sysfs (umockdev-run), for a converter in each mode and for devices that are
# not the converter. Checked per device:
# - the "uaccess" tag exactly on the converter's sg node and update-mode USB device (udev's own
#   rules tag none of these devices, so the tag comes from our file; a syntax error in it drops its
#   lines and fails the positive rows); tags are read from CURRENT_TAGS (TAGS keeps those of
#   earlier events of the node);
# - the stable links of the converter's node;
# - UDISKS_IGNORE=1 on the converter's disk node, so that desktops leave it alone;
# - power/control "on" written to the converter's USB device in both modes (no autosuspend);
# - with the optional group rule enabled: group plugdev, mode 0660 on the converter's nodes only.
# Then the brg40 package's postinst: where udevd runs it reloads the rules and replays the events of
# the converter's devices, and only those; where none runs it does nothing.
# The rules are placed in /run/udev/rules.d of a private mount namespace: a tmpfs over /run, which
# always exists (/run/udev does not where udevd never ran), keeps udevadm's database writes away
# from the system and hides whatever a running udevd left there.
#   udev_rule_test.sh RULE_FILE GROUP_RULE_FILE POSTINST
#                                         exit 0 pass, 1 fail, 77 when no mount namespace is allowed
set -uo pipefail
rule=$1
group_rule=$2
postinst=$3
if [[ ${BRG40_UDEV_NS:-} != 1 ]]; then
    command -v udevadm >/dev/null || { echo "udevadm is missing (Debian package udev)"; exit 1; }
    ns=(unshare -m --propagation private)
    ((EUID == 0)) || ns=(unshare -r -m --propagation private)
    "${ns[@]}" true 2>/dev/null || { echo "SKIP: no private mount namespace here"; exit 77; }
    BRG40_UDEV_NS=1 exec "${ns[@]}" bash "$0" "$@"
fi
mount -t tmpfs -o mode=0755 tmpfs /run || exit 1
mkdir -p /run/udev/rules.d /run/udev/data && cp "$rule" /run/udev/rules.d/ || exit 1
work=$(mktemp -d)
trap '[[ -n ${BRG40_KEEP:-} ]] || rm -rf "$work"' EXIT

usb=/devices/pci0000:00/0000:00:14.0/usb1
scsi=$usb/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0
storage() {  # storage PORT N VENDOR MODEL: a USB storage device on PORT as the kernel shows it,
    # SCSI host N with its device, sgN and a disk below; sysfs pads vendor and model. The
    # USB device's power/control starts empty: umockdev's attribute files are plain files, which
    # udev's write does not truncate.
    local port=$1 n=$2 disk=sd$(printf "\\x$(printf %x $((98 + $2)))")
    local dev=$usb/$port/$port:1.0/host$n/target$n:0:0/$n:0:0:0
    printf 'P: %s/scsi_generic/sg%s\nN: sg%s\nE: DEVNAME=/dev/sg%s\nE: SUBSYSTEM=scsi_generic\nE: MAJOR=21\n' "$dev" "$n" "$n" "$n"
    printf 'E: MINOR=%s\nA: dev=21:%s\n\n' "$n" "$n"
    printf 'P: %s/block/%s\nN: %s\nE: DEVNAME=/dev/%s\nE: DEVTYPE=disk\nE: SUBSYSTEM=block\nE: MAJOR=8\n' "$dev" "$disk" "$disk" "$disk"
    printf 'E: MINOR=%s\nA: dev=8:%s\n\n' $((16 * (n + 1))) $((16 * (n + 1)))
    printf 'P: %s\nE: DEVTYPE=scsi_device\nE: SUBSYSTEM=scsi\nA: vendor=%-8s\nA: model=%-16s\nA: type=0\n\n' "$dev" "$3" "$4"
    printf 'P: %s\nE: DEVTYPE=scsi_target\nE: SUBSYSTEM=scsi\n\n' "${dev%/*}"
    printf 'P: %s\nE: DEVTYPE=scsi_host\nE: SUBSYSTEM=scsi\n\n' "${dev%/*/*}"
    # The USB storage device and its interface above it, with the serial the converter reports.
    printf 'P: %s/%s/%s:1.0\nE: DEVTYPE=usb_interface\nE: SUBSYSTEM=usb\n' "$usb" "$port" "$port"
    printf 'A: bInterfaceClass=08\nA: bInterfaceSubClass=06\nA: bInterfaceProtocol=50\nA: bInterfaceNumber=00\n\n'
    printf 'P: %s/%s\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: BUSNUM=001\nE: DEVNUM=00%s\n' "$usb" "$port" $((n + 2))
    printf 'A: idVendor=1f3a\nA: idProduct=0c23\nA: serial=A1B2C3\nA: busnum=1\nA: devnum=%s\nA: power/control=\n\n' $((n + 2))
}
usb_device() {  # usb_device PORT VID PID
    printf 'P: %s/%s\nN: bus/usb/001/00%s\nE: DEVNAME=/dev/bus/usb/001/00%s\n' "$usb" "$1" "${1#1-}" "${1#1-}"
    printf 'E: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: MAJOR=189\nE: MINOR=%s\nA: idVendor=%s\nA: idProduct=%s\n' "${1#1-}" "$2" "$3"
    printf 'A: busnum=1\nA: devnum=%s\nA: dev=189:%s\nA: power/control=\n\n' "${1#1-}" "${1#1-}"
}
pci() { printf 'P: /devices/pci0000:00/0000:00:14.0\nE: SUBSYSTEM=pci\nA: vendor=0x8086\n'; }

failed=0
pass() { echo "PASS  $1"; }
fail() {  # fail TEXT [OUTPUT...]: the udev lines of the outputs that say why
    echo "FAIL  $1"
    shift
    (($#)) && cat "$@" | grep -E 'brg40|TAGS=|UDISKS|GROUP |MODE |ATTR|[Ii]nvalid|[Ee]rror' | sed 's/^/      | /' >&2
    failed=1
}
expect() {  # expect TEXT GOT WANTED [OUTPUT...]
    if [[ $2 == "$3" ]]; then pass "$1"; else fail "$1: got [$2], expected [$3]" "${@:4}"; fi
}

# run NAME SYSPATH... < description: `udevadm test` on each device of one emulated system
# (output NAME.<device>.out), then the USB devices' power/control (NAME.power).
run() {
    local name=$1
    shift
    cat >"$work/$name.umockdev"
    rm -rf /run/udev/data/*  # no tags kept from an earlier case
    umockdev-run --device "$work/$name.umockdev" -- bash -c '
        out=$1/$2
        shift 2
        for path; do udevadm test --action=add "/sys$path" >"$out.${path##*/}.out" 2>&1; done
        for f in /sys'"$usb"'/1-*/power/control; do echo "${f#/sys'"$usb"'/} $(cat "$f")"; done >"$out.power"
    ' run "$work" "$name" "$@"
}
uaccess() { grep -Eq '^CURRENT_TAGS=.*:uaccess:' "$work/$1.out" && echo yes || echo no; }
property() { grep -E "^$2=" "$work/$1.out" | cut -d= -f2-; }
power() { grep "^$2/" "$work/$1.power" | cut -d' ' -f2; }
# The group and mode udev ends with: the last assignment of each.
permissions() { echo "$(grep -oE ' GROUP [0-9]+$' "$work/$1.out" | tail -n1) $(grep -oE ' MODE [0-7]+$' "$work/$1.out" | tail -n1)"; }

run converter "$scsi" "$scsi/scsi_generic/sg0" "$scsi/block/sdb" < <(storage 1-1 0 ZEVAK NKV-BRG40M; pci)
run second_model "$scsi/scsi_generic/sg0" < <(storage 1-1 0 ZEVAK "USB-SPI/I2C Cnv."; pci)
run other_model "$scsi" "$scsi/scsi_generic/sg0" "$scsi/block/sdb" < <(storage 1-1 0 ZEVAK OTHER-MODEL; pci)
run other_vendor "$scsi/scsi_generic/sg0" < <(storage 1-1 0 ACME NKV-BRG40M; pci)
run update_mode $usb/1-2 < <(usb_device 1-2 1f3a 0c21; pci)
run other_product $usb/1-2 < <(usb_device 1-2 1f3a 0c22; pci)

expect "the converter's sg node has uaccess" "$(uaccess converter.sg0)" yes "$work/converter.sg0.out"
expect "the converter's second model too" "$(uaccess second_model.sg0)" yes "$work/second_model.sg0.out"
expect "another model of the maker has not" "$(uaccess other_model.sg0)" no "$work/other_model.sg0.out"
expect "another vendor's device has not" "$(uaccess other_vendor.sg0)" no "$work/other_vendor.sg0.out"
expect "the update-mode USB device has uaccess" "$(uaccess update_mode.1-2)" yes "$work/update_mode.1-2.out"
expect "another USB product of the maker has not" "$(uaccess other_product.1-2)" no "$work/other_product.1-2.out"

# The converter's node gets its stable names from udev's path_id and usb_id; no other node does.
links() { property "$1" DEVLINKS | grep -oE '/dev/brg40/[^ ]*' | sort | tr '\n' ' '; }
expect "the converter's node is /dev/brg40/by-path/... and /dev/brg40/by-id/..." "$(links converter.sg0)" \
    "/dev/brg40/by-id/ZEVAK_NKV-BRG40M_A1B2C3 /dev/brg40/by-path/pci-0000:00:14.0-usb-0:1:1.0-scsi-0:0:0:0 "
expect "no other node gets those links" "$(links other_vendor.sg0)$(links other_model.sg0)" ""

expect "desktops ignore the converter's disk node (UDISKS_IGNORE)" "$(property converter.sdb UDISKS_IGNORE)" 1 \
    "$work/converter.sdb.out"
expect "but not another model's" "$(property other_model.sdb UDISKS_IGNORE)" ""
expect "autosuspend off on the converter's USB device in normal mode" "$(power converter 1-1)" on \
    "$work/converter.0:0:0:0.out"
expect "and in update mode" "$(power update_mode 1-2)" on "$work/update_mode.1-2.out"
expect "not on another model's or another product's USB device" "$(power other_model 1-1)$(power other_product 1-2)" ""

# udev names a line it cannot use (an unknown key, an assignment where a match belongs).
if cat "$work"/*.out | grep -E "^/run/udev/rules.d/[^:]*brg40[^:]*:[0-9]+ " >&2; then
    fail "udev reports lines of our rules (above)"
else
    pass "udev reports no line of our rules"
fi

# The group rule, enabled as the README says: the converter's nodes in both modes, nothing else.
cp "$group_rule" /run/udev/rules.d/ || exit 1
plugdev=$(getent group plugdev | cut -d: -f3)
run group_converter "$scsi/scsi_generic/sg0" < <(storage 1-1 0 ZEVAK NKV-BRG40M; pci)
run group_update_mode $usb/1-2 < <(usb_device 1-2 1f3a 0c21; pci)
run group_other_vendor "$scsi/scsi_generic/sg0" < <(storage 1-1 0 ACME NKV-BRG40M; pci)
expect "with the group rule the converter's node is group plugdev, mode 0660" \
    "$(permissions group_converter.sg0)" " GROUP $plugdev  MODE 0660" "$work/group_converter.sg0.out"
expect "and so is the update-mode USB device" "$(permissions group_update_mode.1-2)" " GROUP $plugdev  MODE 0660" \
    "$work/group_update_mode.1-2.out"
expect "another vendor's node is not plugdev's" "$(permissions group_other_vendor.sg0 | grep -c " $plugdev ")" 0
rm -f /run/udev/rules.d/"$(basename "$group_rule")"

# The postinst against one system with a converter in each mode (1-1, 1-2), another vendor's disk
# (1-3) and another USB product (1-4). A stand-in udevadm first on PATH records each call and lets
# the real one say which devices a trigger reaches (--dry-run --verbose) instead of replaying them.
mkdir -p "$work/bin"
cat >"$work/bin/udevadm" <<EOF
#!/bin/sh
echo "\$*" >>"$work/udevadm.log"
[ "\$1" = trigger ] || exit 0
exec $(command -v udevadm) "\$@" --dry-run --verbose
EOF
chmod +x "$work/bin/udevadm"
{
    storage 1-1 0 ZEVAK NKV-BRG40M
    usb_device 1-2 1f3a 0c21
    storage 1-3 1 ACME DISK
    usb_device 1-4 1f3a 0c22
    pci
} >"$work/system.umockdev"
{
    storage 1-3 1 ACME DISK
    pci
} >"$work/no_converter.umockdev"
postinst_run() {  # postinst_run NAME [SYSTEM]: the postinst as dpkg runs it after unpacking
    : >"$work/udevadm.log"
    PATH=$work/bin:$PATH umockdev-run --device "$work/${2:-system}.umockdev" -- sh "$postinst" configure "" \
        >"$work/$1.out" 2>&1
}
postinst_run postinst_no_udevd
expect "without udevd the postinst succeeds, says nothing, calls no udevadm" \
    "$?:$(cat "$work/postinst_no_udevd.out" "$work/udevadm.log")" "0:"
# udevd's control socket, as a running udevd leaves it.
/usr/bin/python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' /run/udev/control || exit 1
postinst_run postinst
expect "with udevd the postinst succeeds and reloads the rules first" \
    "$?:$(head -n1 "$work/udevadm.log")" "0:control --reload-rules"
expect "and replays the events (add) of the converter's devices in both modes, and no other" \
    "$(grep -c '^trigger --action=add ' "$work/udevadm.log"):$(sort "$work/postinst.out" | tr '\n' ' ')" \
    "1:/sys$scsi /sys$scsi/block/sdb /sys$scsi/scsi_generic/sg0 /sys$usb/1-2 "
postinst_run postinst_no_converter no_converter
expect "with no converter present it replays nothing (not every device)" \
    "$?:$(grep -c '^trigger --action' "$work/udevadm.log")" "0:0"
exit $failed
