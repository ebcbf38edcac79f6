#!/usr/bin/env bash
# Soak test of firmware transfers over JACK: a private JACK server (dummy driver), zorvik-sim on
# it, and COUNT back-to-back `zorvikctl send` of a 300 KB firmware image while another JACK
# client keeps starting and stopping alongside. Other clients' ports are made to appear before
# the simulator's in the server's list, as on a machine in use. Every transfer must exit 0 and
# leave the simulator holding the image byte for byte. Not part of the test command: it runs
# about 8 s per transfer.
#
#   scripts/soak-jack.sh [COUNT]        (default 50; needs jackd and jack_midi_dump, jackd2)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$root/build/bin"
count="${1:-50}"
for tool in jackd jack_midi_dump; do
  command -v "$tool" >/dev/null || { echo "soak: $tool is not installed (Debian package jackd2)" >&2; exit 2; }
done
[ -x "$bin/zorvikctl" ] && [ -x "$bin/zorvik-sim" ] || { echo "soak: build first (scripts/build.sh)" >&2; exit 2; }

work="$(mktemp -d)"
pids=()
cleanup() {
  # The simulator quits first and closes its clients: a server ending while it cleans up after
  # a killed client may fail to leave JACK's registry of servers, which holds eight.
  echo quit >&7 2>/dev/null || true
  sleep 1
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A private server under a fixed name: JACK keeps a registry entry for every name that ever ran.
export JACK_DEFAULT_SERVER=zorvik-soak JACK_NO_AUDIO_RESERVATION=1
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
jackd -n zorvik-soak -d dummy -r 48000 -p 512 >"$work/jackd.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do jack_lsp >/dev/null 2>&1 && break; sleep 0.2; done

# Clients that leave before the simulator comes make room ahead of its ports.
early=()
for _ in 1 2 3 4 5 6; do jack_midi_dump >/dev/null 2>&1 & early+=($!); done
sleep 1
mkfifo "$work/sim.in"
"$bin/zorvik-sim" --jack --quiet <"$work/sim.in" >>"$work/sim.out" 2>&1 &
pids+=($!)
exec 7>"$work/sim.in"
for _ in $(seq 50); do grep -q '^ready' "$work/sim.out" && break; sleep 0.2; done
kill "${early[@]}" 2>/dev/null || true
wait "${early[@]}" 2>/dev/null || true

# Another client starting and stopping alongside, for the whole run.
(
  while :; do
    jack_midi_dump >/dev/null 2>&1 & dump=$!
    sleep 0.4
    kill "$dump" 2>/dev/null; wait "$dump" 2>/dev/null
    sleep 0.3
  done
) &
pids+=($!)

head -c 307200 /dev/urandom >"$work/firmware.bin"
hash="$(sha1sum "$work/firmware.bin" | cut -d' ' -f1)"
complete=0
start=$(date +%s)
for i in $(seq "$count"); do
  code=0
  "$bin/zorvikctl" send "$work/firmware.bin" --jack --out zorvik-sim --in zorvik-sim \
    --timeout 10 2>"$work/ctl.err" || code=$?
  echo status >&7
  status=""
  for _ in $(seq 50); do
    status="$(grep -a '^status' "$work/sim.out" | tail -1)"
    [ -n "$status" ] && break
    sleep 0.1
  done
  : >"$work/sim.out"
  if [ "$code" = 0 ] && [[ "$status" == *" complete 307200 bytes sha1 $hash" ]]; then
    complete=$((complete + 1))
  else
    echo "soak: transfer $i failed (exit $code): $(tail -1 "$work/ctl.err") / $status" >&2
  fi
done
elapsed=$(( $(date +%s) - start ))
echo "soak: $complete of $count transfers of 300 KB complete in ${elapsed} s"
[ "$complete" = "$count" ]
