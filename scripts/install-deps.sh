#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Tapewise need.
# Packages already present are left alone, so a second run costs a second.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config clang libclang-rt-14-dev clang-format
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins
  libpulse-dev libsndfile1-dev libsamplerate0-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # running and end-to-end tests: sound server, display, driving the GUI
  pulseaudio pulseaudio-utils xvfb xauth xdotool x11-utils
  # holding one thread of a running program (the capture test of a busy machine)
  gdb
  # test signals from independent tools of the field
  fuse-emulator-utils zmakebas pasmo sox
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
