#!/usr/bin/env bash
# Join quality of a real conversion: a 12-second stereo AC3 converted by
# `wavesmithy --convert` in 4-second parts. For each join it prints the gap
# (> 0) or overlap (< 0) in samples and the SNR within 25 ms of the join,
# next to the SNR away from the joins. The measurement lives in the
# end-to-end test program, which makes the source, converts it and aligns
# each part with the source decoded by ffmpeg.
#   BUILD_DIR=build bash bench/join_quality.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=$(realpath "${BUILD_DIR:-build}")
cmake --build "$BUILD_DIR" --target e2e_tests wavesmithy tromvax kardune aacenc -j2 >/dev/null
WAVESMITHY_BIN_DIR=$BUILD_DIR/bin QT_QPA_PLATFORM=offscreen \
    "$BUILD_DIR/tests/e2e_tests" --gtest_filter="${FILTER:-EndToEnd/Conversion.*/StereoAc3:EndToEnd/Conversion.*/Wav16}" |
    grep -E '^\[ (join|figures) ' | sed -E 's/^\[ (join|figures) +\] //'
