#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need,
# when any is missing. Run as root or through sudo.
set -euo pipefail
packages=(
  cmake g++ make pkg-config
  qt6-base-dev libgl-dev libgtest-dev
  libavformat-dev libavcodec-dev libavfilter-dev libswresample-dev libavutil-dev ffmpeg
  libdvdread-dev dvdauthor genisoimage
  xvfb xauth ladspa-sdk
  desktop-file-utils appstream dpkg-dev file groff-base
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
