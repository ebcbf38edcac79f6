#!/bin/bash
# The first process of the USB rig's virtual machine (scripts/usb-rig.sh): the root file system is
# the host's, read-only, with /tmp, /run and /dev its own. Loads the USB/IP host controller, the
# USB audio driver and the sequencer, runs the checks (and the USB link's rows of the MIDI
# back-end contract) and powers the machine off.
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
code=$?
# A whole run also checks the USB link against the contract of every MIDI back end: the "usb" rows
# of each of its functions (the other rows run on the host).
contract="$(dirname "$program")/tst_MidiBackendContract"
if [ -z "$functions" ] && [ "$program" != "$(realpath "$contract" 2>/dev/null)" ]; then
  if [ -x "$contract" ]; then
    # shellcheck disable=SC2046
    "$contract" $("$contract" -functions | sed -n 's/()$/:usb/p') || [ "$code" -ne 0 ] || code=1
  else
    echo "FAIL: no $contract to check the USB link against the MIDI back-end contract"
    code=1
  fi
fi
echo "$code" > "$out/exit-code"
sync
echo o > /proc/sysrq-trigger
sleep 10
