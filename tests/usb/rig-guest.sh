#!/bin/bash
# The first process of the USB rig's virtual machine (scripts/usb-rig.sh): the root file system is
# the host's, read-only, with /tmp, /run and /dev its own. Loads the USB/IP host controller, the
# USB audio driver and the sequencer, runs the checks and powers the machine off.
out=/run/out
exec >"$out/guest.log" 2>&1
touch "$out/booted"
. "$out/config"
export HOME=/tmp/home XDG_RUNTIME_DIR=/run/user/0 QT_QPA_PLATFORM=offscreen ZORVIK_USB_RIG=1
export QT_LOGGING_RULES="qt.qpa.*=false" ZORVIK_SCREENSHOTS="$out"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
for module in vhci-hcd snd-usb-audio snd-seq snd-seq-midi; do
  modprobe "$module" || echo "cannot load $module"
done
# The sequencer is open to every user, as on a desktop: a user without access to the USB device
# must still get nothing sent that way.
chmod 0666 /dev/snd/seq
# shellcheck disable=SC2086
"$program" $functions
echo $? > "$out/exit-code"
sync
echo o > /proc/sysrq-trigger
sleep 10
