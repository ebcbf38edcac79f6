#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need (the USB rig's among
# them: QEMU, a kernel with its modules, a static busybox and amidi).
# Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev
  librtmidi-dev libjack-jackd2-dev libasound2-dev libfluidsynth-dev timgm6mb-soundfont
  jackd2 xvfb xauth libbenchmark-dev libgtest-dev
  libusb-1.0-0-dev
  qemu-system-x86 linux-image-amd64 busybox-static alsa-utils
  fonts-dejavu-core
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
# jackd2 asks about realtime priority; the answer does not matter for tests.
echo "jackd2 jackd/tweak_rt_limits boolean false" | "${sudo_cmd[@]}" debconf-set-selections
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
