#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need,
# when any is missing. Run as root or through sudo. With --fuzz it also
# installs clang and libFuzzer's runtime (libclang-rt-14-dev), which only the
# fuzz build (scripts/fuzz.sh) uses; the ordinary build stays on g++.
set -euo pipefail
packages=(
  cmake g++ make pkg-config
  qt6-base-dev libgl-dev libgtest-dev
  libavformat-dev libavcodec-dev libavfilter-dev libswresample-dev libavutil-dev ffmpeg
  libdvdread-dev dvdauthor genisoimage
  xvfb xauth ladspa-sdk
  desktop-file-utils appstream dpkg-dev file groff-base
  # The fonts of a usual Debian desktop, so the window tests run where users are.
  fonts-dejavu-core fonts-liberation2 fonts-noto-core
  # GStreamer plays the .m4a outputs in the end-to-end tests (gst-discoverer-1.0, gst-launch-1.0).
  gstreamer1.0-tools gstreamer1.0-plugins-base-apps gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-libav
)
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi
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
