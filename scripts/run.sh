#!/usr/bin/env bash
# Sets up, builds and runs Wavesmithy. With a display the window opens; without
# one the program runs under Xvfb and saves a screenshot of its main window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$BUILD_DIR/bin/wavesmithy" "$@"
fi
shot="$PWD/$BUILD_DIR/wavesmithy-main-window.png"
XDG_CONFIG_HOME="$PWD/$BUILD_DIR/demo-config" \
  xvfb-run -a -s "-screen 0 1280x800x24" "$BUILD_DIR/bin/wavesmithy" --screenshot "$shot"
echo "No display: saved a screenshot of the main window to $shot"
