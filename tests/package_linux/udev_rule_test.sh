#!/usr/bin/env bash
# The udev rule as Debian's udev reads it: for each device below, `udevadm test` runs every rule
# of the system plus ours against an emulated sysfs (umockdev-run), and the device must end with
# the "uaccess" tag exactly when it is the converter. udev's own rules tag none of these devices,
# so the tag comes from our file; a syntax error in it drops its lines and fails the positive rows.
# The converter's node also gets its stable links. Tags are read from CURRENT_TAGS (TAGS keeps those of earlier events of the node). The rule
# is placed in /run/udev/rules.d of a private mount namespace: a tmpfs over /run, which always
# exists (/run/udev does not where udevd never ran), keeps udevadm's database writes away from the
# system and hides whatever a running udevd left there.
#   udev_rule_test.sh RULE_FILE          exit 0 pass, 1 fail, 77 when no mount namespace is allowed
set -uo pipefail
rule=$1
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

scsi=/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0
sg_device() {  # sg_device VENDOR MODEL TYPE: an sg node under a SCSI device (sysfs pads both fields)
    printf 'P: %s/scsi_generic/sg0\nN: sg0\nE: DEVNAME=/dev/sg0\nE: SUBSYSTEM=scsi_generic\nE: MAJOR=21\nE: MINOR=0\nA: dev=21:0\n\n' "$scsi"
    printf 'P: %s\nE: DEVTYPE=scsi_device\nE: SUBSYSTEM=scsi\nA: vendor=%-8s\nA: model=%-16s\nA: type=%s\n\n' "$scsi" "$1" "$2" "$3"
    printf 'P: %s\nE: DEVTYPE=scsi_target\nE: SUBSYSTEM=scsi\n\n' "${scsi%/*}"
    printf 'P: %s\nE: DEVTYPE=scsi_host\nE: SUBSYSTEM=scsi\n\n' "${scsi%/*/*}"
    # The USB storage device and its interface above it, with the serial the converter reports.
    printf 'P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0\nE: DEVTYPE=usb_interface\nE: SUBSYSTEM=usb\n'
    printf 'A: bInterfaceClass=08\nA: bInterfaceSubClass=06\nA: bInterfaceProtocol=50\nA: bInterfaceNumber=00\n\n'
    printf 'P: /devices/pci0000:00/0000:00:14.0/usb1/1-1\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: BUSNUM=001\nE: DEVNUM=002\n'
    printf 'A: idVendor=1f3a\nA: idProduct=0c23\nA: serial=A1B2C3\nA: busnum=1\nA: devnum=2\n\n'
    printf 'P: /devices/pci0000:00/0000:00:14.0\nE: SUBSYSTEM=pci\nA: vendor=0x8086\n'
}
usb_device() {  # usb_device VID PID
    printf 'P: /devices/pci0000:00/0000:00:14.0/usb1/1-2\nN: bus/usb/001/002\nE: DEVNAME=/dev/bus/usb/001/002\n'
    printf 'E: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: MAJOR=189\nE: MINOR=1\nA: idVendor=%s\nA: idProduct=%s\n' "$1" "$2"
    printf 'A: busnum=1\nA: devnum=2\nA: dev=189:1\n'
}

failed=0
check() {  # check NAME SYSPATH EXPECTED(yes|no) < umockdev description
    local name=$1 path=$2 expected=$3 got=no
    cat >"$work/$name.umockdev"
    rm -rf /run/udev/data/*  # no tags kept from an earlier case
    umockdev-run --device "$work/$name.umockdev" -- udevadm test --action=add "/sys$path" >"$work/$name.out" 2>&1
    grep -Eq '^CURRENT_TAGS=.*:uaccess:' "$work/$name.out" && got=yes
    if [[ $got == "$expected" ]]; then
        echo "PASS  $name: uaccess $expected"
    else
        echo "FAIL  $name: uaccess $got, expected $expected"
        sed 's/^/      | /' "$work/$name.out" | grep -Ei 'brg40|TAGS|invalid|error' >&2 || true
        failed=1
    fi
}

check sg_converter "$scsi/scsi_generic/sg0" yes < <(sg_device ZEVAK NKV-BRG40M 0)
check sg_converter_second_model "$scsi/scsi_generic/sg0" yes < <(sg_device ZEVAK "USB-SPI/I2C Cnv." 0)
check sg_other_model_of_the_maker "$scsi/scsi_generic/sg0" no < <(sg_device ZEVAK OTHER-MODEL 0)
check sg_other_vendor "$scsi/scsi_generic/sg0" no < <(sg_device ACME NKV-BRG40M 0)
check usb_update_mode /devices/pci0000:00/0000:00:14.0/usb1/1-2 yes < <(usb_device 1f3a 0c21)
check usb_other_product /devices/pci0000:00/0000:00:14.0/usb1/1-2 no < <(usb_device 1f3a 0c22)
# The converter's node gets its stable names from udev's path_id and usb_id; no other node does.
links() { grep -E '^DEVLINKS=' "$work/$1.out" | grep -oE '/dev/brg40/[^ ]*' | sort | tr '\n' ' '; }
if [[ $(links sg_converter) == "/dev/brg40/by-id/ZEVAK_NKV-BRG40M_A1B2C3 /dev/brg40/by-path/pci-0000:00:14.0-usb-0:1:1.0-scsi-0:0:0:0 " &&
    -z $(links sg_other_vendor) && -z $(links sg_other_model_of_the_maker) ]]; then
    echo "PASS  the converter's node is /dev/brg40/by-path/... and /dev/brg40/by-id/..., no other node"
else
    echo "FAIL  links: converter [$(links sg_converter)], other vendor [$(links sg_other_vendor)]"
    failed=1
fi
# udev names a line it cannot use (an unknown key, an assignment where a match belongs).
name=$(basename "$rule")
if cat "$work"/*.out | grep -E "^/run/udev/rules.d/$name:[0-9]+ " >&2; then
    echo "FAIL  udev reports lines of $name (above)"
    failed=1
else
    echo "PASS  udev reports no line of $name"
fi
exit $failed
