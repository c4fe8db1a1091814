#!/usr/bin/env bash
# Sets up, builds and runs Wavesmithy. With a display the window opens. Without
# one, it converts a sample it generates (a 20-second 5.1 AC3 tone) to AAC with
# the default options, as "Give me AAC!" would, and saves a screenshot of the
# main window taken under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$BUILD_DIR/bin/wavesmithy" "$@"
fi

demo="$PWD/$BUILD_DIR/demo"
mkdir -p "$demo"
# Settings and log of the demonstration stay in the build folder.
export XDG_CONFIG_HOME="$demo/config" XDG_DATA_HOME="$demo/data"
sample="$demo/sample.ac3"
ffmpeg -hide_banner -loglevel error -y \
  -f lavfi -i "sine=frequency=440:duration=20:sample_rate=48000" \
  -f lavfi -i "sine=frequency=660:duration=20:sample_rate=48000" \
  -filter_complex "[0][1][0][1][0][1]amerge=inputs=6,pan=5.1|FL=c0|FR=c1|FC=c2|LFE=c3|BL=c4|BR=c5[a]" \
  -map "[a]" -c:a ac3 -b:a 384k "$sample"
echo "Converting the generated sample $sample:"
"$BUILD_DIR/bin/wavesmithy" --convert "$sample" --output "$demo/sample.aac" --overwrite
echo "The AAC file is $demo/sample.aac"

shot="$PWD/$BUILD_DIR/wavesmithy-main-window.png"
xvfb-run -a -s "-screen 0 1280x800x24" "$BUILD_DIR/bin/wavesmithy" --screenshot "$shot" 2>/dev/null
echo "No display: saved a screenshot of the main window to $shot"
