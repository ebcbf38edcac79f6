#!/usr/bin/env bash
# The USB rig: runs the programs against an emulated USB instrument, behind the real kernel USB
# MIDI driver. It boots this machine's Debian kernel (linux-image-amd64) under QEMU, in software
# emulation (KVM hangs in some containers), with this machine's root file system shared
# read-only over 9p; inside, tests/usb/rig-guest.sh loads the USB/IP host controller, the USB
# audio driver and the sequencer, and runs the given tst_UsbInstrument, which plugs in a software
# "Zorvik K8" (zorvik-usb-instrument) and drives zorvikctl and the editor against it.
# Usage: scripts/usb-rig.sh path/to/tst_UsbInstrument [test function...]
# Exit code: the test's own; 77 (skipped, with a line saying why) only when QEMU cannot start.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="$(realpath "${1:?usage: usb-rig.sh path/to/tst_UsbInstrument [test function...]}")"
shift
work="$(dirname "$program")/usb-rig"
skip() { echo "SKIP: the USB rig cannot run here: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

qemu="$(command -v qemu-system-x86_64)" || skip "qemu-system-x86_64 is not installed (Debian package qemu-system-x86)"
kernel=""
for candidate in $(ls -v /boot/vmlinuz-* 2>/dev/null); do
  version="${candidate#/boot/vmlinuz-}"
  [ -d "/lib/modules/$version/kernel" ] && [ -r "$candidate" ] && kernel="$candidate"
done
[ -n "$kernel" ] || fail "no kernel with its modules in /boot and /lib/modules (Debian package linux-image-amd64)"
version="${kernel#/boot/vmlinuz-}"
busybox=/bin/busybox
[ -x "$busybox" ] && "$busybox" --list | grep -qx switch_root || fail "no static busybox (Debian package busybox-static)"

# A small first stage: busybox and the modules that mount the shared root, nothing else.
rm -rf "$work"
mkdir -p "$work/initrd/bin" "$work/initrd/modules" "$work/out"
cp "$busybox" "$work/initrd/bin/busybox"
for wanted in 9p 9pnet_virtio virtio_pci; do
  modprobe -S "$version" --show-depends "$wanted" 2>/dev/null | awk '$1 == "insmod" { print $2 }'
done | awk '!seen[$0]++' | while read -r module; do
  cp "$module" "$work/initrd/modules/"
  basename "$module" >> "$work/initrd/modules/order"
done
[ -s "$work/initrd/modules/order" ] || fail "the 9p modules of kernel $version are missing"
cat > "$work/initrd/init" <<'INIT'
#!/bin/busybox sh
b=/bin/busybox
$b mkdir -p /newroot
for module in $($b cat /modules/order); do $b insmod "/modules/$module" || echo "insmod $module failed"; done
$b mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=512000 hostroot /newroot || $b poweroff -f
for fs in proc:proc sysfs:sys devtmpfs:dev tmpfs:tmp tmpfs:run; do
  $b mount -t "${fs%%:*}" "${fs#*:}" "/newroot/${fs#*:}"
done
$b mkdir -p /newroot/run/out
$b mount -t 9p -o trans=virtio,version=9p2000.L out /newroot/run/out || $b poweroff -f
. /newroot/run/out/config
exec $b switch_root /newroot "$guest"
INIT
chmod +x "$work/initrd/init"
(cd "$work/initrd" && find . | "$busybox" cpio -o -H newc 2>/dev/null) > "$work/initrd.cpio" || fail "cannot pack the first stage"

{
  printf 'guest=%q\n' "$root/tests/usb/rig-guest.sh"
  printf 'program=%q\n' "$program"
  printf 'functions=%q\n' "$*"
} > "$work/out/config"

echo "USB rig: kernel $version under QEMU (software emulation), test $program"
start=$(date +%s)
timeout 600 "$qemu" -m 1536 -smp 2 -accel tcg -nographic -no-reboot \
  -kernel "$kernel" -initrd "$work/initrd.cpio" \
  -append "console=ttyS0 quiet panic=-1" \
  -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap \
  -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
  -fsdev local,id=out,path="$work/out",security_model=none \
  -device virtio-9p-pci,fsdev=out,mount_tag=out \
  > "$work/console.log" 2>&1
qemu_code=$?
echo "USB rig: the machine ran $(( $(date +%s) - start )) s"

if [ ! -e "$work/out/booted" ]; then
  [ "$qemu_code" -ne 0 ] && [ "$qemu_code" -ne 124 ] && skip "QEMU did not start (code $qemu_code): $(grep -m1 -i 'qemu' "$work/console.log")"
  tail -n 30 "$work/console.log"
  fail "the machine did not come up (QEMU code $qemu_code); its console is in $work/console.log"
fi
cat "$work/out/guest.log"
[ -e "$work/out/exit-code" ] || fail "the checks did not finish inside the machine (QEMU code $qemu_code)"
exit "$(cat "$work/out/exit-code")"
